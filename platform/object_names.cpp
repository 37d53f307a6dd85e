#include "platform/object_names.h"

std::string WindowObjectName(int window) {
    return "window:" + std::to_string(window);
}
std::string ControlObjectName(int control) {
    return "control:" + std::to_string(control);
}
std::string CommandObjectName(int command) {
    return "command:" + std::to_string(command);
}
std::string ToolObjectName(int command) {
    return "tool:" + std::to_string(command);
}
