#include "pipeline/screen_dump_import.h"

#include "imaging/picture.h"
#include "pipeline/preview_refresh.h"
#include "platform/platform.h"
#include "screen/dump_reader.h"
#include "shell/state/app_state.h"

void ImportScreenDump() {
    sourcePath = OpenFileDialog("Open BBC Screen Dump File", "", "BBC Micro Screen Dump (*.*)|*.*", 0).path;
    if (sourcePath.empty()) {
        return;
    }
    const auto data = ReadScreenDumpFile(sourcePath);
    if (!data) {
        return;
    }
    const int decoded = ConvertBBCScreen(*data, screenMode);
    if (decoded == 0) {
        return;
    }
    CopyPicture(decoded, workingPicture);
    FreePicture(decoded);
    RefreshPreview();
}
