#include "cli/cli_options.h"

#include "screen/screen_modes.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<long> ParseInteger(const std::string& text) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<float> ParseNumber(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    try {
        std::size_t used = 0;
        const float value = std::stof(text, &used);
        if (used != text.size() || !std::isfinite(value)) {
            return std::nullopt;
        }
        return value;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Options without a value that add an edit.
const std::map<std::string, EditKind>& FlagEdits() {
    static const std::map<std::string, EditKind> edits{
        {"--greyscale", EditKind::Greyscale},        {"--invert", EditKind::Invert},
        {"--solarise", EditKind::Solarise},          {"--level", EditKind::Level},
        {"--rotate-left", EditKind::RotateLeft},     {"--rotate-right", EditKind::RotateRight},
        {"--rotate-180", EditKind::Rotate180},       {"--flip-horizontal", EditKind::FlipHorizontal},
        {"--flip-vertical", EditKind::FlipVertical},
    };
    return edits;
}

class Parser {
  public:
    explicit Parser(ParsedCommand& result) : result_(result) {}

    // Takes one option at arguments[i]; returns false (with the error set) when it is wrong.
    bool Option(const std::vector<std::string>& arguments, std::size_t& i, bool convertOptions) {
        const std::string& name = arguments[i];
        ConvertOptions& o = result_.options;
        if (const auto edit = FlagEdits().find(name); edit != FlagEdits().end()) {
            o.edits.push_back({edit->second});
            return true;
        }
        if (name == "--brightness" || name == "--contrast" || name == "--gamma") {
            const auto value = Value(arguments, i);
            if (!value) {
                return false;
            }
            return Edit(name, *value);
        }
        if (name == "--mode" && (result_.command == "decode" || result_.command == "disc")) {
            return Mode(arguments, i);
        }
        if (name == "--palette" && result_.command == "disc") {
            return Palette(arguments, i);
        }
        if (!convertOptions) {
            return Fail("unknown option '" + name + "' for " + result_.command);
        }
        if (name == "--serpentine") {
            o.serpentine = true;
        } else if (name == "--stretch") {
            o.stretch = true;
        } else if (name == "--raw-scaling") {
            o.rawScaling = true;
        } else if (name == "--auto-palette") {
            o.autoPalette = true;
        } else if (name == "--mode") {
            return Mode(arguments, i);
        } else if (name == "--method") {
            const auto value = Value(arguments, i);
            if (!value) {
                return false;
            }
            o.method = *value;
        } else if (name == "--strength") {
            const auto value = Value(arguments, i);
            const auto number = value ? ParseInteger(*value) : std::nullopt;
            if (!number || *number < 0 || *number > 100) {
                return Fail("--strength needs a whole number from 0 to 100");
            }
            o.strength = static_cast<int>(*number);
        } else if (name == "--lines") {
            const auto value = Value(arguments, i);
            const auto number = value ? ParseInteger(*value) : std::nullopt;
            if (!number || (*number != 256 && *number != 240 && *number != 200)) {
                return Fail("--lines needs 256, 240 or 200");
            }
            o.lines = static_cast<int>(*number);
        } else if (name == "--palette") {
            return Palette(arguments, i);
        } else if (name == "--output-dir") {
            const auto value = Value(arguments, i);
            if (!value || value->empty()) {
                return Fail("--output-dir needs a folder name");
            }
            o.outputDir = *value;
        } else if (name == "--jobs") {
            const auto value = Value(arguments, i);
            const auto number = value ? ParseInteger(*value) : std::nullopt;
            if (!number || *number < 1 || *number > 256) {
                return Fail("--jobs needs a whole number from 1 to 256");
            }
            o.jobs = static_cast<int>(*number);
        } else if (name == "--format") {
            const auto value = Value(arguments, i);
            if (!value) {
                return false;
            }
            const std::string format = Lower(*value);
            if (format == "dump") {
                o.format = OutputFormat::Dump;
            } else if (format == "png") {
                o.format = OutputFormat::Png;
            } else if (format == "jpg" || format == "jpeg") {
                o.format = OutputFormat::Jpeg;
            } else if (format == "bmp") {
                o.format = OutputFormat::Bmp;
            } else if (format == "ssd") {
                o.format = OutputFormat::Ssd;
            } else {
                return Fail("--format needs dump, png, jpg, bmp or ssd");
            }
        } else {
            return Fail("unknown option '" + name + "'");
        }
        return true;
    }

    bool Fail(std::string message) {
        result_.error = std::move(message);
        return false;
    }

  private:
    std::optional<std::string> Value(const std::vector<std::string>& arguments, std::size_t& i) {
        if (i + 1 >= arguments.size()) {
            Fail(arguments[i] + " needs a value");
            return std::nullopt;
        }
        return arguments[++i];
    }

    bool Mode(const std::vector<std::string>& arguments, std::size_t& i) {
        const auto value = Value(arguments, i);
        if (!value) {
            return false;
        }
        const auto number = ParseInteger(*value);
        if (!number || ScreenModeByNumber(static_cast<int>(*number)) == nullptr) {
            return Fail("--mode needs 0, 1, 2, 4, 5 or 8");
        }
        result_.options.mode = static_cast<int>(*number);
        return true;
    }

    bool Edit(const std::string& name, const std::string& text) {
        const auto value = ParseNumber(text);
        if (name == "--brightness") {
            if (!value || *value < -128 || *value > 128 || *value != std::floor(*value)) {
                return Fail("--brightness needs a whole number from -128 to 128");
            }
            result_.options.edits.push_back({EditKind::Brightness, *value});
        } else if (name == "--contrast") {
            if (!value || *value < -256 || *value > 256 || *value != std::floor(*value)) {
                return Fail("--contrast needs a whole number from -256 to 256");
            }
            result_.options.edits.push_back({EditKind::Contrast, *value});
        } else {
            if (!value || *value <= 0.0F || *value >= 8.0F) {
                return Fail("--gamma needs a number above 0 and below 8");
            }
            result_.options.edits.push_back({EditKind::Gamma, *value});
        }
        return true;
    }

    bool Palette(const std::vector<std::string>& arguments, std::size_t& i) {
        const auto value = Value(arguments, i);
        if (!value) {
            return false;
        }
        std::vector<int> colours;
        std::size_t start = 0;
        while (start <= value->size()) {
            const std::size_t comma = std::min(value->find(',', start), value->size());
            const auto colour = ParsePhysicalColour(value->substr(start, comma - start));
            if (!colour) {
                return Fail("--palette needs physical colours 0-7 or names, separated by commas");
            }
            colours.push_back(*colour);
            start = comma + 1;
        }
        if (colours.size() > 8) {
            return Fail("--palette takes at most 8 colours");
        }
        result_.options.palette = std::move(colours);
        return true;
    }

    ParsedCommand& result_;
};

} // namespace

std::optional<int> ParsePhysicalColour(const std::string& text) {
    if (const auto number = ParseInteger(text); number) {
        return *number >= 0 && *number <= 7 ? std::optional<int>(static_cast<int>(*number)) : std::nullopt;
    }
    const std::string name = Lower(text);
    for (std::size_t n = 0; n < kPhysicalColourNames.size(); ++n) {
        if (kPhysicalColourNames[n] == name) {
            return static_cast<int>(n);
        }
    }
    return std::nullopt;
}

ParsedCommand ParseArguments(const std::vector<std::string>& arguments) {
    ParsedCommand result;
    if (arguments.empty()) {
        result.error = "no command given";
        return result;
    }
    const std::string& first = arguments.front();
    if (first == "--help" || first == "-h" || first == "help") {
        result.command = "help";
        return result;
    }
    if (first == "--version") {
        result.command = "version";
        return result;
    }
    result.command = first;
    // How many file names each command takes, and whether it takes the conversion options.
    std::size_t files = 0;
    bool convertOptions = false;
    if (first == "convert") {
        files = 2;
        convertOptions = true;
    } else if (first == "decode" || first == "read" || first == "disc") {
        files = 2;
    } else if (first == "info") {
        files = 1;
    } else if (first == "modes" || first == "methods") {
        files = 0;
    } else {
        result.error = "unknown command '" + first + "'";
        return result;
    }

    Parser parser(result);
    std::vector<std::string> names;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() > 1 && argument[0] == '-' && argument[1] == '-') {
            const bool discOption = argument == "--mode" || argument == "--palette";
            if (first == "info" || files == 0 || (first == "decode" && argument != "--mode") ||
                (first == "disc" && !discOption)) {
                result.error = "unknown option '" + argument + "' for " + first;
                return result;
            }
            const std::size_t start = i;
            if (!parser.Option(arguments, i, convertOptions)) {
                return result;
            }
            if (argument != "--output-dir" && argument != "--jobs") {
                auto& passed = result.options.passedOptions;
                passed.insert(passed.end(), arguments.begin() + static_cast<std::ptrdiff_t>(start),
                              arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            }
        } else {
            names.push_back(argument);
        }
    }
    if (!result.options.outputDir.empty()) {
        // Every name is an input; each is written into the folder under its own name.
        if (result.options.format == OutputFormat::Ssd) {
            result.error =
                "--output-dir writes one file per picture; a disc is one file (leave out --format ssd)";
        } else if (names.empty()) {
            result.error = "convert --output-dir needs at least 1 file name";
        } else {
            result.options.input = names[0];
            result.options.inputs = std::move(names);
        }
        return result;
    }
    if (result.options.jobs != 0) {
        result.error = "--jobs goes with --output-dir";
        return result;
    }
    // A disc takes any number of pictures before its own name.
    const bool severalInputs =
        first == "disc" || (first == "convert" && result.options.format == OutputFormat::Ssd);
    if (severalInputs ? names.size() < files : names.size() != files) {
        result.error = first + " needs " + (severalInputs ? "at least " : "") + std::to_string(files) +
                       (files == 1 ? " file name" : " file names");
        return result;
    }
    if (files >= 1) {
        result.options.input = names[0];
        result.options.inputs.assign(names.begin(), names.end() - (files == 2 ? 1 : 0));
    }
    if (files == 2) {
        result.options.output = names.back();
    }
    if (first == "decode" || first == "disc") {
        const bool modeGiven = std::find(arguments.begin(), arguments.end(), "--mode") != arguments.end();
        if (!modeGiven) {
            result.error = first + " needs --mode M";
        }
    }
    return result;
}
