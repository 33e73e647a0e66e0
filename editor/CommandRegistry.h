#pragma once
// CCommandRegistry: the editing commands that live outside the edit page and
// its canvas (dialogs, saving, printing, the selection and layer commands),
// by command id. The page's dispatcher and the canvas run a command they do
// not handle themselves through the registry; a command that nobody has
// registered is not built yet: it writes "Command <id> not built" to the
// debug log and does nothing. The program has one registry (EditCommands);
// the libraries that hold the commands register them at start-up.
//
// UI thread.

#include <cstdint>
#include <functional>
#include <map>

class CSEditPage;
struct SpriteMessage;

// Command ids the editor runs through the registry.
enum EditCommandId : std::int32_t {
  kCmdCrop = 10001,
  kCmdRotateRight = 10002,
  kCmdRotateLeft = 10003,
  kCmdRotateFree = 10004,
  kCmdFlipHorizontal = 10005,
  kCmdFlipVertical = 10006,
  kCmdBarrel = 10007,
  kCmdFreeCrop = 10008,
  kCmdShape = 10012,
  kCmdAutoLevel = 11001,
  kCmdAutoContrast = 11002,
  kCmdAutoLevelLinear = 11011,
  kCmdAutoContrastLinear = 11012,
  kCmdSelectAll = 16001,
  kCmdInvertSelection = 16002,
  kCmdDropSelection = 16003,
  kCmdFeatherSelection = 16004,
  kCmdInpaintSelection = 16005,
  kCmdExpandSelection = 16006,
  kCmdShrinkSelection = 16007,
  kCmdSelectionBorder = 16008,
  kCmdDeleteSelected = 16009,
  kCmdStoreNamedMask = 16010,
  kCmdWizard = 18001,
  kCmdPhotoProperties = 18002,
  kCmdSave = 20001,
  kCmdPrint = 20002,
  kCmdUndo = 22001,
  kCmdRedo = 22002,
  kCmdMakeScheme = 22003,
  kCmdExportLayer = 20003,  // the current layer as PNG or PSD
  kCmdCopy = 22004,
  kCmdPaste = 22005,
  kCmdClosePage = 21001,
  kCmdNewBlankLayer = 23011,
  kCmdLoadLayer = 23012,
  kCmdDeblur = 13021,
  // Colour and filter commands the page runs itself.
  kCmdAutoColor = 12001,
  kCmdRepairTool = 13003,
  kCmdSharpen = 13004,
  kCmdEdgeShrink = 13006,
  kCmdBlur = 13007,
  kCmdRedeyeTool = 13014,
  kCmdSmartErase = 13015,
  kCmdTextureSharpen = 13019,
  kCmdAntiShake = 13020,
};
// The canvas's own range: ids the page passes on to its canvas.
inline constexpr std::int32_t kFirstCanvasCommand = 16001;
inline constexpr std::int32_t kLastCanvasCommand = 16998;

class CCommandRegistry {
public:
  // The handler's result is the command's (1 done, 0 not done or cancelled).
  using Handler = std::function<std::int32_t(CSEditPage& page, const SpriteMessage& message)>;

  // Replaces any handler of the id; an empty handler unregisters.
  void Register(std::int32_t id, Handler handler);
  bool Has(std::int32_t id) const;
  // The handler's result; 0 and the log line when there is none.
  [[nodiscard]] std::int32_t Run(std::int32_t id, CSEditPage& page, const SpriteMessage& message) const;

private:
  std::map<std::int32_t, Handler> m_handlers;
};

CCommandRegistry& EditCommands();
