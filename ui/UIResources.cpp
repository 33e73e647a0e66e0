#include "ui/UIResources.h"

#include <cstdio>
#include <system_error>

#include "platform/Clock.h"
#include "platform/CursorPicture.h"
#include "platform/File.h"
#include "platform/ProgramPath.h"
#include "platform/SystemMessage.h"
#include "platform/Utf16.h"
#include "ui/HandCursor.h"
#include "ui/NewRectCursor.h"
#include "ui/PickCursor.h"
#include "ui/RotateCursor.h"
#include "ui/SelectionCursors.h"
#include "ui/StepCursors.h"
#include "ui/Utf16File.h"

bool CUIResources::Init(std::u16string_view variant) { return Init(GetProgramDataFolder(), variant); }

bool CUIResources::Init(const std::filesystem::path& dataFolder, std::u16string_view variant) {
  programFolder = dataFolder;
  theme.Init(programFolder, variant);
  if (!LoadResourceText()) return false;
  if (!LoadTexts()) return false;

  logEnabled = 0;
  m_logPath.clear();
  if (const char16_t* logPath = texts.LookupText(u"logpath")) {
    m_logPath = PathFromUtf16(logPath);
    logEnabled = 1;
    std::error_code ignored;
    std::filesystem::remove(m_logPath, ignored);
  }
  if (!skins.Load(theme)) return false;
  glyphs.Clear();  // pictures of the fonts before
  WriteLog("Image resource loaded.");
  if (!CreateCustomCursor()) return false;
  if (!LoadDialogTemplates()) return false;
  WriteLog("Resource loaded.");
  return true;
}

bool CUIResources::LoadDialogTemplates() {
  dialogTemplates.Clear();
  std::string error;
  if (dialogTemplates.LoadFolder(programFolder / "dialogs", error)) return true;
  WriteLog(error);
  ShowSystemMessage(FromUtf8("Dialog templates: " + error));
  return false;
}

bool CUIResources::LoadResourceText() {
  baseText.clear();
  return ReadUtf16File(programFolder / "basic" / "resource.txt", kMaxBaseTextBytes, false, baseText);
}

bool CUIResources::LoadTexts() {
  texts.Clear();
  const bool loaded = !baseText.empty() && texts.Load(std::u16string_view(baseText));
  texts.AddText(u"errmem", kErrMemText);
  texts.AddText(u"errinit", kErrInitText);
  texts.Sort();
  return loaded;
}

bool CUIResources::CreateCustomCursor() {
  if (!DefineCursorPicture(CursorShape::OpenHand, BuildHandCursor())) return false;
  handCursor = CursorShape::OpenHand;
  if (!DefineCursorPicture(CursorShape::Picker, BuildPickCursor())) return false;
  pickCursor = CursorShape::Picker;
  for (auto shape = static_cast<std::uint8_t>(CursorShape::SelectPolygon);
       shape <= static_cast<std::uint8_t>(CursorShape::SelectDragSubtract); ++shape) {
    const auto selection = static_cast<CursorShape>(shape);
    if (!DefineCursorPicture(selection, BuildSelectionCursor(selection))) return false;
  }
  if (!DefineCursorPicture(CursorShape::NewRect, BuildNewRectCursor())) return false;
  newRectCursor = CursorShape::NewRect;
  if (!DefineCursorPicture(CursorShape::PreviousPhoto, BuildPreviousPhotoCursor()) ||
      !DefineCursorPicture(CursorShape::NextPhoto, BuildNextPhotoCursor()))
    return false;
  if (!DefineCursorPicture(CursorShape::Rotate, BuildRotateCursor())) return false;
  rotateCursor = CursorShape::Rotate;
  return true;
}

void CUIResources::WriteLog(std::string_view message) const {
  if (!logEnabled) return;
  char prefix[32];
  const int prefixLength =
      std::snprintf(prefix, sizeof prefix, "%08d ", static_cast<std::int32_t>(TickCount()));
  if (prefixLength <= 0) return;
  std::string line(prefix, static_cast<std::size_t>(prefixLength));
  const std::size_t room = kMaxLogLine - line.size() - 2;
  line.append(message.substr(0, room));
  line.append("\r\n");
  CFile file;
  if (!file.Open(m_logPath, CFile::OpenMode::ReadWrite) && !file.Open(m_logPath, CFile::OpenMode::Create))
    return;
  if (!file.Seek(0, CFile::SeekOrigin::End)) return;
  // The log is a diagnostic aid: a line that cannot be written is lost.
  static_cast<void>(file.Write(line.data(), line.size()));
}

CUIResources& UIResources() {
  static CUIResources resources;
  return resources;
}
