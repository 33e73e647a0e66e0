#pragma once
// CDialogScript: answers the modal sprite dialogs of a test from a script.
// While a script lives, every dialog that runs modally (CDialogSprite::
// RunModal, after OnInitDialog succeeded and the dialog is shown) takes the
// next answer of the script, in the order the dialogs open: a dialog opened
// by a step of another's answer (a nested message box) takes the answer
// after it, so the outer answer is written whole, with the steps that follow
// the nested dialog, before the nested one's. An answer is a list of steps,
// each run once the UI queue is idle (the messages of the step before are
// all delivered):
//
//   CDialogScript script;
//   script.Next(132).Key('Y');                        // a message box: Y
//   script.Next(129).Type(1003, u"Layer 2").Press(1);  // a text input: OK
//   script.Next().Answer(2);                          // any dialog: end with 2
//
//   Press(id)       a click on the control (down and up at its centre); the
//                   control must be shown and enabled. The id is a template
//                   id, or the sprite id of another child of the dialog
//                   (2 is the title band's close button when no shown
//                   template control has it)
//   Type(id, text)  the control gets the focus, then the text arrives as
//                   typed characters through the window
//   Key(vk, mods)   a key pressed and released through the window (shortcuts
//                   and the focus see it), after 100 ms of the clock so that
//                   the window's key-repeat filter never drops it; mods are
//                   kModShift, kModControl, kModAlt of platform/UiMessage.h
//   Answer(code)    the dialog ends with this code (not 0), nothing else
//                   happens
//   Call(action)    runs action with the dialog (read or set its controls,
//                   draw a frame, check what it shows)
//
// Whatever goes wrong is noted in Errors() and ends the dialog at once with
// 2, so a test never hangs: a dialog without an answer, a dialog of another
// template than the answer names, a step whose control is missing, hidden or
// disabled, and a dialog still open after the last step of its answer.
// Shown() lists the template ids of the dialogs that ran, in order.
//
// UI thread only. Scripts nest: the newest lives, the one before it is back
// when it ends.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class CDialogSprite;
struct UiMessage;

class CDialogScript {
public:
  CDialogScript();
  ~CDialogScript();
  CDialogScript(const CDialogScript&) = delete;
  CDialogScript& operator=(const CDialogScript&) = delete;

  // Starts the answer of the next dialog; templateId 0 accepts any dialog.
  // Steps added before any Next start an answer for any dialog.
  CDialogScript& Next(std::int32_t templateId = 0);
  CDialogScript& Press(std::int32_t controlId);
  CDialogScript& Type(std::int32_t controlId, std::u16string text);
  CDialogScript& Key(std::uint32_t virtualKey, std::uint32_t modifiers = 0);
  CDialogScript& Answer(std::int32_t code);
  CDialogScript& Call(std::function<void(CDialogSprite&)> action);

  // Answers no dialog has taken yet.
  std::size_t Pending() const { return m_answers.size(); }
  const std::vector<std::string>& Errors() const { return m_errors; }
  const std::vector<std::int32_t>& Shown() const { return m_shown; }

  // For CDialogSprite::RunModal: a dialog starts, runs the next step of its
  // answer (or, with none left, is ended as a failure), and ends.
  void Begin(CDialogSprite& dialog);
  void Step(CDialogSprite& dialog);
  void End(CDialogSprite& dialog);

private:
  enum class StepKind { Press, Type, Key, Answer, Call };
  struct ScriptStep {
    StepKind kind = StepKind::Answer;
    std::int32_t value = 0;       // control id, key or end code
    std::uint32_t modifiers = 0;  // of a key
    std::u16string text;
    std::function<void(CDialogSprite&)> action;
  };
  struct ScriptAnswer {
    std::int32_t templateId = 0;
    std::vector<ScriptStep> steps;
  };
  struct Running {
    CDialogSprite* dialog = nullptr;
    ScriptAnswer answer;
    std::size_t next = 0;
  };

  CDialogScript& Add(ScriptStep step);
  void Fail(CDialogSprite& dialog, const std::string& why);
  void RunStep(CDialogSprite& dialog, const ScriptStep& step);
  // Queues typed input; the dialog fails when the queue refuses it.
  void PushKeys(CDialogSprite& dialog, std::vector<UiMessage> messages);

  std::deque<ScriptAnswer> m_answers;
  std::vector<Running> m_running;  // innermost last
  std::vector<std::string> m_errors;
  std::vector<std::int32_t> m_shown;
  CDialogScript* m_previous = nullptr;
};

// The script that answers dialogs now, or null (dialogs wait for the user).
CDialogScript* ActiveDialogScript();
