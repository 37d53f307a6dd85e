#include "disc/picture_loader.h"

#include "screen/screen_modes.h"

#include <cstdint>

namespace {

constexpr std::uint32_t kScreenEnd = 0x8000;

// Every logical colour the hardware has in the mode: the 4-bit modes have 16, of which
// the picture uses 8; the others are set steady (n shows 15 - n), so none flashes.
int HardwareColours(const ScreenMode& mode) {
    return 1 << mode.bitsPerPixel;
}

int PhysicalOf(const ScreenMode& mode, const LoaderPicture& picture, int logical) {
    if (logical < static_cast<int>(picture.palette.size()) && logical < mode.colourCount) {
        return picture.palette[static_cast<std::size_t>(logical)] & 7;
    }
    return logical >= 8 ? 15 - logical : 0;
}

// Four bytes of screen memory in which every pixel is a logical colour that shows black
// (colour 0 when none does), as a BASIC integer: what fills the screen below a picture
// with fewer lines than the screen.
std::int32_t BlackFillWord(const ScreenMode& mode, const LoaderPicture& picture) {
    int black = 0;
    for (int logical = HardwareColours(mode) - 1; logical >= 0; --logical) {
        if (PhysicalOf(mode, picture, logical) == 0) {
            black = logical;
        }
    }
    unsigned byte = 0;
    for (int k = 0; k < mode.pixelsPerByte; ++k) {
        for (int j = 0; j < mode.bitsPerPixel; ++j) {
            if ((black >> j) & 1) {
                byte |= 1u << ((7 - k) - (mode.bitsPerPixel - 1 - j) * mode.pixelsPerByte);
            }
        }
    }
    return static_cast<std::int32_t>(byte * 0x01010101u);
}

std::string DataLine(const ScreenMode& mode, const LoaderPicture& picture) {
    std::string line = "DATA \"" + picture.reference + "\"," + std::to_string(picture.end & 0xFFFF) + "," +
                       std::to_string(BlackFillWord(mode, picture));
    for (int logical = 0; logical < HardwareColours(mode); ++logical) {
        line.append(",").append(std::to_string(PhysicalOf(mode, picture, logical)));
    }
    return line;
}

// The program's lines in order, without numbers.
std::vector<std::string> ProgramLines(const ScreenMode& mode, const std::vector<LoaderPicture>& pictures) {
    const bool ulaMode = mode.number == 8; // the OS knows it as Mode 5
    std::vector<std::string> lines{
        "*FX229,1", // ESCAPE is an ordinary key: no error message over the picture
        "VDU6:MODE" + std::to_string(ulaMode ? 5 : mode.number) + ":VDU23,1,0;0;0;0;",
    };
    if (ulaMode) {
        lines.emplace_back("*FX154,224"); // video ULA: 10 columns, 4 bits per pixel
    }
    const std::string count = std::to_string(pictures.size());
    lines.insert(lines.end(),
                 {
                     "N%=" + count + ":L%=" + std::to_string(HardwareColours(mode)) +
                         ":DIM N$(N%-1),E%(N%-1),W%(N%-1),C%(N%-1,L%-1)",
                     "FOR I%=0 TO N%-1:READ N$(I%),E%(I%),W%(I%):FOR J%=0 TO L%-1:READ C%(I%,J%):NEXT:NEXT",
                     "I%=0",
                     "REPEAT",
                     // Black while loading, then the picture appears whole with its palette.
                     "FOR J%=0 TO L%-1:PROCcolour(J%,0):NEXT",
                     "OSCLI \"LOAD \"+N$(I%)",
                     "IF E%(I%)<" + std::to_string(kScreenEnd) + " FOR A%=E%(I%) TO " +
                         std::to_string(kScreenEnd - 4) + " STEP 4:!A%=W%(I%):NEXT",
                     "FOR J%=0 TO L%-1:PROCcolour(J%,C%(I%,J%)):NEXT",
                     "REPEAT K%=GET:UNTIL K%=32 OR K%=27",
                     "I%=(I%+1) MOD N%",
                     "UNTIL K%=27",
                     "MODE7",
                     "*FX229,0",
                     "END",
                     // The OS palette call does not know the 4-bit layout of Mode 5 memory: there the
                     // video ULA's palette register takes logical colour and inverted physical colour.
                     ulaMode ? "DEF PROCcolour(X%,Y%):?&FE21=X%*16+(Y% EOR 7):ENDPROC"
                             : "DEF PROCcolour(X%,Y%):VDU19,X%,Y%;0;:ENDPROC",
                 });
    for (const LoaderPicture& picture : pictures) {
        lines.push_back(DataLine(mode, picture));
    }
    return lines;
}

} // namespace

std::string BuildPictureLoader(int modeNumber, const std::vector<LoaderPicture>& pictures) {
    const ScreenMode* mode = ScreenModeByNumber(modeNumber);
    if (mode == nullptr || pictures.empty()) {
        return {};
    }
    // VDU21 silences the screen while the lines are typed in; the program's VDU6 undoes it.
    std::string text = "VDU21\rNEW\r";
    int number = 10;
    for (const std::string& line : ProgramLines(*mode, pictures)) {
        text += std::to_string(number) + " " + line + "\r";
        number += 10;
    }
    return text + "RUN\r";
}
