#include "desktop_support.h"
#include "imaging/picture.h"
#include "imaging/picture_writer.h"
#include "platform/controls.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "screen/dump_reader.h"
#include "screen/screen_modes.h"
#include "shell/commands.h"
#include "state/app_state.h"
#include "support/corpus_dumps.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace {

constexpr const char* kSizeQuestion =
    "This file is larger than the size expected of a standard BBC Micro image "
    "file.\n\nDo you wish to proceed (file will be truncated)?";

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> bytes(count);
    for (std::uint8_t& b : bytes) {
        b = static_cast<std::uint8_t>(byte(random));
    }
    return bytes;
}

std::vector<std::uint8_t> FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ImportTest : public DesktopTest {
  protected:
    std::string WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    static void SelectMode(int modeNumber) {
        SelectListItem(screenModeCombo, ScreenModeByNumber(modeNumber)->position);
        QueueControlEvent(screenModeCombo);
    }
    // Gives the import command with the dialog answering `path`.
    static void QueueImport(const std::string& path) {
        QueueFileDialogAnswer(path, 0);
        QueueCommandEvent(mainWindow, kCommandImportScreenDump);
    }
    // Loads an ordinary picture as the working picture and forgets its conversion.
    void LoadPhoto() {
        QueueDropEvent(mainWindow, {WritePicture("photo.png", 20, 10, kPhotoColour)});
        ASSERT_TRUE(DispatchQueued());
        ASSERT_EQ(PictureWidth(workingPicture), 20);
        ForgetConversion();
    }
    static bool PhotoStillThere() {
        return PictureWidth(workingPicture) == 20 && PictureHeight(workingPicture) == 10 &&
               ReadPixel(workingPicture, 19, 9) == kPhotoColour;
    }
    // The working picture equals the dump bytes decoded in the mode.
    static ::testing::AssertionResult HoldsDump(std::span<const std::uint8_t> bytes, int modeNumber) {
        const ScreenMode& mode = *ScreenModeByNumber(modeNumber);
        const DecodedDump expected = DecodeScreenBytes(bytes, mode.width, mode.bitsPerPixel);
        const Picture* working = FindPicture(workingPicture);
        if (working == nullptr || !expected.picture) {
            return ::testing::AssertionFailure() << "no picture";
        }
        if (working->width != expected.picture->width || working->height != expected.picture->height ||
            working->pixels != expected.picture->pixels) {
            return ::testing::AssertionFailure() << "working picture " << working->width << " x "
                                                 << working->height << " differs from the decoded dump";
        }
        return ::testing::AssertionSuccess();
    }
    static constexpr ColourValue kPhotoColour = 0x3366CC;
};

TEST_F(ImportTest, TheDialogAndACancel) {
    LoadPhoto();
    const std::string photo = sourcePath;
    QueueFileDialogCancel();
    QueueCommandEvent(mainWindow, kCommandImportScreenDump);
    ASSERT_TRUE(DispatchQueued());
    ASSERT_EQ(ShownFileDialogs().size(), 1u);
    const FileDialogRecord& dialog = ShownFileDialogs()[0];
    EXPECT_FALSE(dialog.save);
    EXPECT_EQ(dialog.title, "Open BBC Screen Dump File");
    EXPECT_EQ(dialog.initialPath, "");
    EXPECT_EQ(dialog.patterns, "BBC Micro Screen Dump (*.*)|*.*");
    EXPECT_EQ(dialog.selected, 0);
    EXPECT_EQ(sourcePath, photo); // "Reset Image" still reads the photo
    EXPECT_FALSE(photo.empty());
    EXPECT_TRUE(PhotoStillThere());
    EXPECT_FALSE(Refreshed());
    EXPECT_TRUE(ShownMessageBoxes().empty());
}

TEST_F(ImportTest, ADumpReplacesThePictureButNotTheModePaletteOrCaption) {
    LoadPhoto();
    const std::string caption = ControlText(sourceFrame);
    SelectMode(1);
    PaletteEntry(1, 3) = kPhysicalColours[4];
    const std::vector<std::uint8_t> bytes = RandomBytes(20480, 1);
    const std::string dump = WriteBytes("SCREEN", bytes);
    QueueImport(dump);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_TRUE(HoldsDump(bytes, 1));
    EXPECT_EQ(sourcePath, dump);
    EXPECT_EQ(screenMode, 1);
    EXPECT_EQ(PaletteEntry(1, 3), kPhysicalColours[4]);
    EXPECT_EQ(ControlText(sourceFrame), caption);
    EXPECT_TRUE(ShownMessageBoxes().empty());
    EXPECT_TRUE(Refreshed());
    EXPECT_EQ(ControlPicture(sourceImageGadget), sourcePreviewPicture);
}

TEST_F(ImportTest, EachFailureIsReportedAndLeavesTheWorkingPictureAlone) {
    const std::string fifo = (folder / "PIPE").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder / "DISC");
    const struct Case {
        std::string path;
        std::string reason;
    } cases[] = {
        {(folder / "gone.scr").string(), "The file 'gone.scr' was not found."},
        {(folder / "DISC").string(), "Failed to open requested file."},
        {fifo, "Failed to open requested file."},
        {WriteBytes("EMPTY", {}), "Failed to read requested file."},
        {WriteBytes("SHORT", RandomBytes(79, 2)), "Failed to create image during conversion."}, // < 1 line
    };
    LoadPhoto();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::size_t before = ShownMessageBoxes().size();
        QueueImport(c.path);
        QueueMessageBoxAnswer(MessageAnswer::Ok);
        ASSERT_TRUE(DispatchQueued());
        ASSERT_EQ(ShownMessageBoxes().size(), before + 1);
        const MessageBoxRecord& box = ShownMessageBoxes().back();
        EXPECT_EQ(box.title, "Error Message");
        EXPECT_EQ(box.text, "Unfortunately an error has occurred.\n\nReason: " + c.reason);
        EXPECT_EQ(box.icon, MessageIcon::Error);
        EXPECT_EQ(box.buttons, MessageButtons::Ok);
        EXPECT_EQ(sourcePath, c.path);
        EXPECT_TRUE(PhotoStillThere());
        EXPECT_FALSE(Refreshed());
    }
    // One whole line is enough for a picture.
    const std::vector<std::uint8_t> line = RandomBytes(80, 3);
    QueueImport(WriteBytes("LINE", line));
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(PictureHeight(workingPicture), 1);
    EXPECT_TRUE(HoldsDump(line, 2));
}

TEST_F(ImportTest, ALongerFileIsTruncatedOnlyWhenTheUserAgrees) {
    std::vector<std::uint8_t> bytes = RandomBytes(20481, 4);
    const std::string dump = WriteBytes("LONG", bytes);
    const std::span<const std::uint8_t> first(bytes.data(), 20480);

    // No: a second box says so, and the picture stays.
    LoadPhoto();
    QueueImport(dump);
    QueueMessageBoxAnswer(MessageAnswer::No);
    QueueMessageBoxAnswer(MessageAnswer::Ok);
    ASSERT_TRUE(DispatchQueued());
    ASSERT_EQ(ShownMessageBoxes().size(), 2u);
    EXPECT_EQ(ShownMessageBoxes()[0].title, "Quillmorph");
    EXPECT_EQ(ShownMessageBoxes()[0].text, kSizeQuestion);
    EXPECT_EQ(ShownMessageBoxes()[0].icon, MessageIcon::Question);
    EXPECT_EQ(ShownMessageBoxes()[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(ShownMessageBoxes()[1].title, "Quillmorph");
    EXPECT_EQ(ShownMessageBoxes()[1].text, "Operation cancelled by user.");
    EXPECT_EQ(ShownMessageBoxes()[1].icon, MessageIcon::Information);
    EXPECT_EQ(ShownMessageBoxes()[1].buttons, MessageButtons::Ok);
    EXPECT_TRUE(PhotoStillThere());
    EXPECT_FALSE(Refreshed());

    // Yes, in every mode: the first 20480 bytes make the picture, the question is the
    // only box.
    for (const ScreenMode& mode : screenModes) {
        SCOPED_TRACE(mode.label);
        SelectMode(mode.number);
        ASSERT_TRUE(DispatchQueued());
        const std::size_t before = ShownMessageBoxes().size();
        bytes.back() = static_cast<std::uint8_t>(mode.number); // what follows must not matter
        WriteBytes("LONG", bytes);
        QueueImport(dump);
        QueueMessageBoxAnswer(MessageAnswer::Yes);
        ASSERT_TRUE(DispatchQueued());
        ASSERT_EQ(ShownMessageBoxes().size(), before + 1);
        EXPECT_EQ(ShownMessageBoxes().back().text, kSizeQuestion);
        EXPECT_EQ(PictureHeight(workingPicture), mode.bytesPerLine == 80 ? 256 : 512);
        EXPECT_TRUE(HoldsDump(first, mode.number));
    }
}

TEST_F(ImportTest, ResetImageReloadsTheDumpAsAnOrdinaryPictureAndFails) {
    const std::string dump = WriteBytes("SCREEN", std::vector<std::uint8_t>(20480, 0x0F));
    QueueImport(dump);
    ASSERT_TRUE(DispatchQueued());
    ASSERT_TRUE(PictureExists(workingPicture));
    EXPECT_EQ(sourcePath, dump);

    QueueCommandEvent(mainWindow, kCommandResetImage);
    QueueMessageBoxAnswer(MessageAnswer::Ok);
    ASSERT_TRUE(DispatchQueued());
    ASSERT_EQ(ShownMessageBoxes().size(), 1u);
    EXPECT_EQ(ShownMessageBoxes()[0].text, "Unfortunately an error has occurred.\n\nReason: The file "
                                           "'SCREEN' is not a recognised image format.");
    EXPECT_EQ(sourcePath, "");
    EXPECT_FALSE(PictureExists(workingPicture));
}

TEST_F(ImportTest, AutoPaletteWithoutAPictureDoesNothing) {
    std::vector<ColourValue> before;
    for (const ScreenMode& mode : screenModes) {
        for (int k = 0; k < 8; ++k) {
            before.push_back(PaletteEntry(mode.number, k));
        }
    }
    QueueControlEvent(autoPaletteButton);
    ASSERT_TRUE(DispatchQueued());
    std::vector<ColourValue> after;
    for (const ScreenMode& mode : screenModes) {
        for (int k = 0; k < 8; ++k) {
            after.push_back(PaletteEntry(mode.number, k));
        }
    }
    EXPECT_EQ(after, before);
    EXPECT_FALSE(PictureExists(scratchPicture));
    EXPECT_FALSE(Refreshed());
    EXPECT_TRUE(ShownMessageBoxes().empty());
}

TEST_F(ImportTest, AutoPaletteOfAnImportedDumpPicksItsColours) {
    // Mode 2: right pixels logical 6 (cyan) everywhere; left pixels black, but blue on
    // the first line. Cyan wins over black by those few pixels.
    std::vector<std::uint8_t> bytes(20480, 0x14); // right pixel bits 4 and 2: logical 6
    for (int cell = 0; cell < 80; ++cell) {
        bytes[static_cast<std::size_t>(cell) * 8] = 0x34; // line 0: left logical 4 too
    }
    QueueImport(WriteBytes("TWO", bytes));
    QueueControlEvent(autoPaletteButton);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(PaletteEntry(2, 0), kPhysicalColours[6]);
    EXPECT_EQ(PaletteEntry(2, 1), kPhysicalColours[0]);
    EXPECT_EQ(PaletteEntry(2, 2), kPhysicalColours[4]);
    EXPECT_EQ(ReadPixel(kFirstSwatchPicture, 12, 12), kPhysicalColours[6]);
}

TEST_F(ImportTest, AChosenColourStaysWithItsModeAcrossModeSwitches) {
    ASSERT_EQ(screenMode, 2);
    SetTestIdleHook([] {
        if (paletteSelectorWindow != 0) {
            QueueControlEvent(kFirstSelectorSwatchControl + 7); // white
            SetTestIdleHook(nullptr);
        }
    });
    QueueControlEvent(kFirstSwatchControl + 2);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(paletteSelectorWindow, 0);
    EXPECT_EQ(PaletteEntry(2, 2), 0xFFFFFFu);
    EXPECT_EQ(ReadPixel(kFirstSwatchPicture + 2, 12, 12), 0xFFFFFFu);

    SelectMode(1);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(ReadPixel(kFirstSwatchPicture + 2, 12, 12), kPhysicalColours[3]); // Mode 1's yellow
    EXPECT_EQ(PaletteEntry(1, 2), kPhysicalColours[3]);
    SelectMode(2);
    ASSERT_TRUE(DispatchQueued());
    EXPECT_EQ(PaletteEntry(2, 2), 0xFFFFFFu);
    EXPECT_EQ(ReadPixel(kFirstSwatchPicture + 2, 12, 12), 0xFFFFFFu);
}

// The converter's --auto-palette chooses what the desktop's Auto Palette chooses, and
// so writes the very dump the desktop saves.
TEST_F(ImportTest, TheConvertersAutoPaletteIsTheDesktops) {
    // Noisy blocks, mostly near green, then magenta, then cyan and red.
    const std::array<ColourValue, 8> bases{kPhysicalColours[2], kPhysicalColours[2],      kPhysicalColours[2],
                                           kPhysicalColours[5], kPhysicalColours[5],      kPhysicalColours[6],
                                           kPhysicalColours[1], MakeColour(128, 128, 128)};
    std::mt19937 random(11);
    Picture photo{240, 180, std::vector<BufferWord>(240 * 180)};
    for (int y = 0; y < photo.height; ++y) {
        for (int x = 0; x < photo.width; ++x) {
            const ColourValue base = bases[static_cast<std::size_t>(((x / 20) * 7 + (y / 15) * 3) % 8)];
            const auto noisy = [&](unsigned channel) {
                return static_cast<unsigned>(
                    ClampChannel(static_cast<int>(channel), static_cast<int>(random() % 81) - 40));
            };
            photo.pixels[static_cast<std::size_t>(y) * photo.width + x] =
                SwapRedBlue(MakeColour(noisy(RedOf(base)), noisy(GreenOf(base)), noisy(BlueOf(base))));
        }
    }
    const std::string source = (folder / "blocks.png").string();
    std::string reason;
    ASSERT_TRUE(WritePngFile(photo, source, reason)) << reason;

    for (const int modeNumber : {1, 2}) {
        SCOPED_TRACE(modeNumber);
        const ScreenMode& mode = *ScreenModeByNumber(modeNumber);
        QueueDropEvent(mainWindow, {source});
        SelectMode(modeNumber);
        QueueControlEvent(autoPaletteButton);
        // Same names in two folders, so that the sidecars can be compared too.
        const std::string name = "MODE" + std::to_string(modeNumber);
        std::filesystem::create_directories(folder / "desktop");
        std::filesystem::create_directories(folder / "cli");
        const std::string saved = (folder / "desktop" / name).string();
        QueueFileDialogAnswer(saved, 0);
        QueueCommandEvent(mainWindow, kCommandSaveAs);
        ASSERT_TRUE(DispatchQueued());
        std::string names;
        bool allDefault = true;
        for (int k = 0; k < mode.colourCount; ++k) {
            const auto at =
                std::find(kPhysicalColours.begin(), kPhysicalColours.end(), PaletteEntry(modeNumber, k));
            ASSERT_NE(at, kPhysicalColours.end());
            names.append(k == 0 ? "" : ",").append(std::to_string(at - kPhysicalColours.begin()));
            allDefault =
                allDefault && PaletteEntry(modeNumber, k) == DefaultLogicalColour(k, mode.bitsPerPixel);
        }
        EXPECT_FALSE(allDefault) << names;

        const std::string cli = (folder / "cli" / name).string();
        const std::string given = (folder / ("GIVEN" + std::to_string(modeNumber))).string();
        const std::string run = std::string("'") + QUILLMORPH_CLI + "' convert '" + source + "' '" + cli +
                                "' --mode " + std::to_string(modeNumber) + " --auto-palette && '" +
                                QUILLMORPH_CLI + "' convert '" + source + "' '" + given + "' --mode " +
                                std::to_string(modeNumber) + " --palette " + names;
        const int status = std::system(run.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << run;
        const std::vector<std::uint8_t> desktop = FileBytes(saved);
        EXPECT_EQ(desktop.size(), 20480u);
        EXPECT_TRUE(FileBytes(cli) == desktop);
        EXPECT_TRUE(FileBytes(given) == desktop);
        EXPECT_TRUE(FileBytes(cli + ".inf") == FileBytes(saved + ".inf"));
        ResetPalette(modeNumber);
    }
}

// Every real dump of the corpus through the import command, in the mode its name gives.
TEST_F(ImportTest, RealDumpsImportInTheirModes) {
    const std::vector<CorpusDump> dumps = CorpusDumps();
    if (dumps.empty()) {
        GTEST_SKIP() << "the shared picture corpus is not beside this checkout (" << CorpusDumpFolder()
                     << ")";
    }
    int imported = 0;
    for (const CorpusDump& dump : dumps) {
        const std::string name = dump.path.filename().string();
        SCOPED_TRACE(name);
        const ScreenMode* mode = ScreenModeByNumber(dump.mode);
        ASSERT_NE(mode, nullptr);
        SelectMode(mode->number);
        QueueImport(dump.path.string());
        ASSERT_TRUE(DispatchQueued());
        const std::vector<std::uint8_t> bytes = FileBytes(dump.path);
        EXPECT_EQ(PictureWidth(workingPicture), mode->width);
        EXPECT_EQ(PictureHeight(workingPicture), static_cast<int>(bytes.size()) / mode->bytesPerLine);
        EXPECT_TRUE(HoldsDump(bytes, mode->number));
        EXPECT_EQ(PictureWidth(convertedPicture), mode->width);
        ++imported;
    }
    EXPECT_TRUE(ShownMessageBoxes().empty());
    EXPECT_GE(imported, 40);
}

} // namespace
