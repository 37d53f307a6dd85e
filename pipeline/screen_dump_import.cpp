#include "pipeline/screen_dump_import.h"

#include "imaging/picture.h"
#include "pipeline/preview_refresh.h"
#include "platform/platform.h"
#include "screen/dump_reader.h"
#include "state/app_state.h"

void ImportScreenDump() {
    const std::string chosen =
        OpenFileDialog("Open BBC Screen Dump File", "", "BBC Micro Screen Dump (*.*)|*.*", 0).path;
    // A cancelled dialog keeps the path, so "Reset Image" still reads the picture's file.
    if (chosen.empty()) {
        return;
    }
    sourcePath = chosen;
    // The file's bytes live only until they are decoded.
    const int decoded = [] {
        const auto data = ReadScreenDumpFile(sourcePath);
        return data ? ConvertBBCScreen(*data, screenMode) : 0;
    }();
    if (decoded == 0) {
        return;
    }
    CopyPicture(decoded, workingPicture);
    FreePicture(decoded);
    RefreshPreview();
}
