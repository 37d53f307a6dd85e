// Parsing of the command-line converter's arguments into plain settings.
#pragma once

#include "screen/dump_writer.h"

#include <optional>
#include <string>
#include <vector>

enum class EditKind {
    Brightness,
    Contrast,
    Gamma,
    Greyscale,
    Invert,
    Solarise,
    Level,
    RotateLeft,
    RotateRight,
    Rotate180,
    FlipHorizontal,
    FlipVertical,
};

// One picture edit, applied to the loaded picture in the order given.
struct Edit {
    EditKind kind = EditKind::Brightness;
    float amount = 0.0F; // brightness offset, contrast amount or gamma
};

struct ConvertOptions {
    std::string input;               // the first input
    std::vector<std::string> inputs; // every input: several for a disc
    std::string output;
    int mode = 2;
    std::string method = "None"; // a name of the Method list or its number, resolved later
    int strength = 50;
    bool serpentine = false;
    bool stretch = false;
    bool rawScaling = false;
    int lines = 256;
    std::vector<int> palette; // physical colours for logical colours 0..n-1
    bool autoPalette = false;
    ScreenOutputKind format = ScreenOutputKind::Dump; // what the picture is written as
    bool disc = false;                                // --format ssd: one disc of every input
    std::vector<Edit> edits;
    std::string outputDir; // convert: every name is an input, written into this folder
    int jobs = 0;          // worker processes for --output-dir; 0 for one per processor
};

struct ParsedCommand {
    std::string command; // "convert", "disc", "decode", "read", "info", "modes", "methods", "help", "version"
    ConvertOptions options; // inputs, outputs and settings of every command
    std::string error;      // a usage error, empty when the arguments were understood
};

ParsedCommand ParseArguments(const std::vector<std::string>& arguments);

// A physical colour by number 0-7 or by name ("red", any case).
std::optional<int> ParsePhysicalColour(const std::string& text);
