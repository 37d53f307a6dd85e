// The parser uses CLI11: one subcommand per command, every option taking its value as text.
#include "cli/cli_options.h"

#include "screen/screen_modes.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <functional>
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

// A usage error; it ends the parse.
[[noreturn]] void Fail(const std::string& message) {
    throw CLI::ValidationError(message);
}

int WholeNumber(const std::string& text, long low, long high, const std::string& message) {
    const auto number = ParseInteger(text);
    if (!number || *number < low || *number > high) {
        Fail(message);
    }
    return static_cast<int>(*number);
}

std::vector<int> Palette(const std::string& text) {
    std::vector<int> colours;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const auto colour = ParsePhysicalColour(text.substr(start, comma - start));
        if (!colour) {
            Fail("--palette needs physical colours 0-7 or names, separated by commas");
        }
        colours.push_back(*colour);
        start = comma + 1;
    }
    if (colours.size() > 8) {
        Fail("--palette takes at most 8 colours");
    }
    return colours;
}

bool IsSeparator(const std::string& argument) {
    return argument == "--" || argument == "++";
}

// The groups of options a command takes.
enum Takes : unsigned { kEdits = 1U, kMode = 2U, kPalette = 4U, kConversion = 8U };

class Parser {
  public:
    explicit Parser(ParsedCommand& result) : result_(result) {
        // Help and the version count only as the first argument; the rest is then ignored.
        app_.set_help_flag();
        AddEarlyExit("--help", true);
        AddEarlyExit("-h", true);
        AddEarlyExit("--version", false);
        app_.add_subcommand("help")->preparse_callback([this](std::size_t) {
            RejectLeftovers();
            throw CLI::CallForHelp();
        });
        AddCommand("convert", 2, kEdits | kMode | kPalette | kConversion);
        AddCommand("decode", 2, kMode);
        AddCommand("read", 2, kEdits);
        AddCommand("disc", 2, kMode | kPalette);
        AddCommand("info", 1, 0);
        AddCommand("modes", 0, 0);
        AddCommand("methods", 0, 0);
        // Everything from an unknown first word on is left over; the word is the error.
        app_.prefix_command()->require_subcommand(0, 1);
    }

    void Parse(const std::vector<std::string>& arguments) {
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        try {
            app_.parse(reversed);
            Finish(arguments);
        } catch (const CLI::Success& exit) {
            result_ = ParsedCommand{exit.get_name() == "CallForHelp" ? "help" : "version", {}, {}};
        } catch (const CLI::ArgumentMismatch&) {
            // Only an option without its value, which is always the last argument.
            result_.error = UnknownOptionGiven();
            if (result_.error.empty()) {
                result_.error = arguments.back() + " needs a value";
            }
        } catch (const CLI::ParseError& error) {
            result_.error = error.what();
        }
    }

  private:
    void AddEarlyExit(const std::string& flag, bool help) {
        app_.add_option(flag,
                        [this, flag, help](const CLI::results_t& values) {
                            if (!app_.get_subcommands().empty()) {
                                return true; // after a command ended at "--" or "++", which Finish reports
                            }
                            RejectLeftovers();
                            if (values.front() != "true") {
                                Fail("unknown command '" + flag + "=" + values.front() + "'");
                            }
                            if (help) {
                                throw CLI::CallForHelp();
                            }
                            throw CLI::CallForVersion();
                        })
            ->expected(0)
            ->trigger_on_parse();
    }

    // A command or --help counts only as the first argument: an unknown word before it is the error.
    void RejectLeftovers() const {
        if (const auto leftover = app_.remaining(); !leftover.empty()) {
            Fail("unknown command '" + leftover.front() + "'");
        }
    }

    void AddCommand(const std::string& name, std::size_t files, unsigned takes) {
        CLI::App* command = app_.add_subcommand(name);
        // File names and unknown options stay in the order given, among the leftovers.
        command->prefix_command(false)->allow_extras();
        command->preparse_callback([this, name, files](std::size_t) {
            RejectLeftovers();
            files_ = files;
            result_.command = name;
        });
        ConvertOptions& o = result_.options;
        if ((takes & kEdits) != 0) {
            const std::pair<const char*, EditKind> flags[]{
                {"--greyscale", EditKind::Greyscale},        {"--invert", EditKind::Invert},
                {"--solarise", EditKind::Solarise},          {"--level", EditKind::Level},
                {"--rotate-left", EditKind::RotateLeft},     {"--rotate-right", EditKind::RotateRight},
                {"--rotate-180", EditKind::Rotate180},       {"--flip-horizontal", EditKind::FlipHorizontal},
                {"--flip-vertical", EditKind::FlipVertical},
            };
            for (const auto& [name, kind] : flags) {
                AddFlag(*command, name, [&o, kind = kind] { o.edits.push_back({kind}); });
            }
            AddEdit(*command, "--brightness", EditKind::Brightness, 128.0F,
                    "--brightness needs a whole number from -128 to 128");
            AddEdit(*command, "--contrast", EditKind::Contrast, 256.0F,
                    "--contrast needs a whole number from -256 to 256");
            AddEdit(*command, "--gamma", EditKind::Gamma, 0.0F, "--gamma needs a number above 0 and below 8");
        }
        if ((takes & kMode) != 0) {
            AddValue(*command, "--mode", [this, &o](const std::string& v) {
                const auto number = ParseInteger(v);
                if (!number || ScreenModeByNumber(static_cast<int>(*number)) == nullptr) {
                    Fail("--mode needs 0, 1, 2, 4, 5 or 8");
                }
                o.mode = static_cast<int>(*number);
                modeGiven_ = true;
            });
        }
        if ((takes & kPalette) != 0) {
            AddValue(*command, "--palette", [&o](const std::string& v) { o.palette = Palette(v); });
        }
        if ((takes & kConversion) != 0) {
            AddConversionOptions(*command);
        }
    }

    void AddConversionOptions(CLI::App& command) {
        ConvertOptions& o = result_.options;
        AddFlag(command, "--serpentine", [&o] { o.serpentine = true; });
        AddFlag(command, "--stretch", [&o] { o.stretch = true; });
        AddFlag(command, "--raw-scaling", [&o] { o.rawScaling = true; });
        AddFlag(command, "--auto-palette", [&o] { o.autoPalette = true; });
        AddValue(command, "--method", [&o](const std::string& v) { o.method = v; });
        AddValue(command, "--strength", [&o](const std::string& v) {
            o.strength = WholeNumber(v, 0, 100, "--strength needs a whole number from 0 to 100");
        });
        AddValue(command, "--lines", [&o](const std::string& v) {
            o.lines = WholeNumber(v, 200, 256, "--lines needs 256, 240 or 200");
            if (o.lines != 256 && o.lines != 240 && o.lines != 200) {
                Fail("--lines needs 256, 240 or 200");
            }
        });
        AddValue(command, "--output-dir", [&o](const std::string& v) {
            if (v.empty()) {
                Fail("--output-dir needs a folder name");
            }
            o.outputDir = v;
        });
        AddValue(command, "--jobs", [&o](const std::string& v) {
            o.jobs = WholeNumber(v, 1, 256, "--jobs needs a whole number from 1 to 256");
        });
        AddValue(command, "--format", [&o](const std::string& v) {
            static const std::map<std::string, ScreenOutputKind> formats{
                {"dump", ScreenOutputKind::Dump}, {"ssd", ScreenOutputKind::Dump},
                {"png", ScreenOutputKind::Png},   {"jpg", ScreenOutputKind::Jpeg},
                {"jpeg", ScreenOutputKind::Jpeg}, {"bmp", ScreenOutputKind::Bmp}};
            const auto format = formats.find(Lower(v));
            if (format == formats.end()) {
                Fail("--format needs dump, png, jpg, bmp or ssd");
            }
            o.format = format->second;
            o.disc = format->first == "ssd";
        });
    }

    // A whole number from -limit to limit, or with no limit a gamma above 0 and below 8.
    void AddEdit(CLI::App& command, const std::string& name, EditKind kind, float limit,
                 const std::string& message) {
        AddValue(command, name, [this, kind, limit, message](const std::string& text) {
            const auto value = ParseNumber(text);
            const bool inside =
                value && (limit > 0.0F ? std::abs(*value) <= limit && *value == std::floor(*value)
                                       : *value > 0.0F && *value < 8.0F);
            if (!inside) {
                Fail(message);
            }
            result_.options.edits.push_back({kind, *value});
        });
    }

    void AddFlag(CLI::App& command, const std::string& name, const std::function<void()>& action) {
        AddValue(
            command, name, [action](const std::string&) { action(); }, false);
    }

    // Each option acts as it is met, so the edits and the first error follow the order given.
    void AddValue(CLI::App& command, const std::string& name,
                  const std::function<void(const std::string&)>& action, bool takesValue = true) {
        CLI::Option* option =
            command.add_option(name, [this, name, takesValue, action](const CLI::results_t& values) {
                if (const std::string unknown = UnknownOptionGiven(); !unknown.empty()) {
                    Fail(unknown);
                }
                const std::string& value = values.front();
                if (!takesValue && value != "true") {
                    Fail(UnknownOption(name + "=" + value));
                }
                action(value);
                separatorValues_ += IsSeparator(value) ? 1 : 0;
                return true;
            });
        option->trigger_on_parse();
        if (!takesValue) {
            option->expected(0);
        }
    }

    std::string UnknownOption(const std::string& argument) const {
        const std::string& command = result_.command;
        return "unknown option '" + argument + "'" + (command == "convert" ? "" : " for " + command);
    }

    // The first unknown option left over by the command, as an error; empty when none is.
    std::string UnknownOptionGiven() const {
        const auto commands = app_.get_subcommands();
        const auto leftover = commands.empty() ? std::vector<std::string>() : commands.front()->remaining();
        const auto unknown = std::find_if(leftover.begin(), leftover.end(),
                                          [](const std::string& a) { return a.starts_with("--"); });
        return unknown == leftover.end() ? std::string() : UnknownOption(*unknown);
    }

    void Finish(const std::vector<std::string>& arguments) {
        if (app_.get_subcommands().empty()) {
            const auto leftover = app_.remaining();
            result_.error =
                leftover.empty() ? "no command given" : "unknown command '" + leftover.front() + "'";
            return;
        }
        if (result_.error = UnknownOptionGiven(); !result_.error.empty()) {
            return;
        }
        // CLI11 ends a command at "--" or "++"; neither is an option here.
        const auto separator = std::find_if(arguments.begin() + 1, arguments.end(), IsSeparator);
        if (std::count_if(separator, arguments.end(), IsSeparator) > separatorValues_) {
            result_.error = UnknownOption(*separator);
            return;
        }
        SortNames(app_.get_subcommands().front()->remaining());
    }

    void SortNames(std::vector<std::string> names) {
        ConvertOptions& o = result_.options;
        const std::string& command = result_.command;
        if (!o.outputDir.empty()) {
            // Every name is an input; each is written into the folder under its own name.
            if (o.disc) {
                result_.error =
                    "--output-dir writes one file per picture; a disc is one file (leave out --format ssd)";
            } else if (names.empty()) {
                result_.error = "convert --output-dir needs at least 1 file name";
            } else {
                o.input = names[0];
                o.inputs = std::move(names);
            }
            return;
        }
        if (o.jobs != 0) {
            result_.error = "--jobs goes with --output-dir";
            return;
        }
        const std::size_t files = files_;
        // A disc takes any number of pictures before its own name.
        const bool severalInputs = command == "disc" || (command == "convert" && o.disc);
        if (severalInputs ? names.size() < files : names.size() != files) {
            result_.error = command + " needs " + (severalInputs ? "at least " : "") + std::to_string(files) +
                            (files == 1 ? " file name" : " file names");
            return;
        }
        if (files >= 1) {
            o.input = names[0];
            o.inputs.assign(names.begin(), names.end() - (files == 2 ? 1 : 0));
        }
        if (files == 2) {
            o.output = names.back();
        }
        if ((command == "decode" || command == "disc") && !modeGiven_) {
            result_.error = command + " needs --mode M";
        }
    }

    ParsedCommand& result_;
    CLI::App app_{"", "quillmorph-cli"};
    std::size_t files_ = 0; // file names the command takes
    bool modeGiven_ = false;
    long separatorValues_ = 0; // option values that are "--" or "++", which CLI11 does not see as ends
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
    Parser(result).Parse(arguments);
    return result;
}
