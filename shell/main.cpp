// The desktop program's entry. The main window and its event loop are built on this.
#include "imaging/picture.h"
#include "platform/platform.h"
#include "shell/state/app_state.h"

int main() {
    ResetAppState();
    if (!InitPlatform()) {
        return 0;
    }
    ShutdownPlatform();
    DiscardAllPictures();
    return 0;
}
