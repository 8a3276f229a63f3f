#pragma once
// The commands the editor and lumavex-fx share: one row a command, with the document rules the
// editor applies around it and the core call that does the work.

#include <memory>
#include <span>
#include <string_view>

#include "core/progress.h"
#include "core/raster.h"
#include "core/row_stage.h"
#include "effects/text_renderer.h"
#include "settings.h"

namespace lumavex {

enum class CommandId {
    AddShadow,
    AddShadowSoft,
    FlameBlur,
    CircleBlur,
    EllipseBlur,
    Panel,
    TextOut,
    Blur,
    DropBlurShadow,
    TextTexture,
    Mask,
    MixPaste,
    Merge,
    ColorAdjust,
    Effect,
    HFlip,
    VFlip,
    Rotate,
    Resample,
    ReSize,
    Negative,
    Gray,
    Convert,
    CountColors,
};

/// Which picture of a document a command works on.
enum class Target {
    Chosen,  ///< the picture the pop-up menu was last opened over: the main or the floating one
    Main,    ///< always the main picture
};

/// Where the command's settings come from in the editor, and so when they are known: the
/// processing parameters are read before the undo snapshot (or after it, see readsAfterSnapshot),
/// a dialog is shown after it.
enum class SettingsSource {
    None,              ///< the command takes no settings
    Parameters,        ///< the processing-parameters dialog, read when the command runs
    TextDialog,        ///< the text output dialog (lines, font, position, options)
    RotateDialog,      ///< the rotate dialog's angle
    SizeDialog,        ///< the size dialog's width and height
    ColorCountDialog,  ///< the colour-count dialog's choice
    MaskEditor,        ///< the mask editor window works on a copy, which replaces the target
    Document,          ///< the document itself (MixPaste: the floating picture's place)
    PreviewDialog,     ///< the editor's preview dialog changes the picture itself
};

/// The pictures a command touches. In lumavex-fx the target is the main picture and the
/// floating picture is the --layer file.
struct CommandPictures {
    Raster& target;                    ///< the picture the command changes
    Raster& main;                      ///< the document's main picture (may be the target)
    Raster& scratch;                   ///< the document's hidden work picture
    const Raster* floating = nullptr;  ///< the floating picture, for Merge and MixPaste
    ProgressSink* progress = nullptr;  ///< where long effects put their marks (may be null)
    TextRenderer* renderer = nullptr;  ///< the font engine, for the text commands
};

/// One row of the table.
struct CommandInfo {
    CommandId id;
    const char* name;       ///< lumavex-fx's command name ("add-shadow")
    const char* undoLabel;  ///< the label of the undo snapshot; null: the command takes none
    Target target;
    SettingsSource source;
    /// The processing parameters are read after the snapshot (AddShadowSoft), so a bad value
    /// leaves the snapshot taken; for every other Parameters command they are read before it.
    bool readsAfterSnapshot = false;
    /// Which page of the processing-parameters dialog shows the settings (-1: none).
    int parametersPage = -1;
    /// Does the work. Throws lumavex::Error for settings the core refuses, before the pictures
    /// change. Null for the commands only the editor's own dialogs or messages carry out.
    void (*run)(const Settings& settings, CommandPictures& pictures) = nullptr;
    /// The same work on the main picture from the top down while its lower rows are still
    /// being read (the source's size is known), for the commands whose result rows need only
    /// source rows near them; null for the others. May return null when it cannot follow, and
    /// throws for bad settings.
    std::unique_ptr<RowStage> (*rowStage)(const Settings& settings, const Raster& source) = nullptr;
};

/// Every command, in the order of CommandId.
std::span<const CommandInfo> commandTable();
/// The row of a command.
const CommandInfo& commandInfo(CommandId id);
/// The command with lumavex-fx's name, or null.
const CommandInfo* findCommandByName(std::string_view name);

/// Runs a command's core call. Throws Error(BadArgument) when the settings are not of the
/// command's kind, when a text command has no renderer, or when the command has no core call;
/// the pictures are then untouched.
void runCommand(CommandId id, const Settings& settings, CommandPictures& pictures);

}  // namespace lumavex
