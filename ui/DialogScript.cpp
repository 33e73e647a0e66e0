#include "ui/DialogScript.h"

#include <utility>

#include "platform/Clock.h"
#include "platform/InputBuilder.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"
#include "ui/DialogSprite.h"
#include "ui/LiveObjectRegistry.h"
#include "ui/RenderWindow.h"

namespace {

CDialogScript* g_activeScript = nullptr;  // UI thread

}  // namespace

CDialogScript* ActiveDialogScript() { return g_activeScript; }

CDialogScript::CDialogScript() : m_previous(g_activeScript) { g_activeScript = this; }

CDialogScript::~CDialogScript() {
  if (g_activeScript == this) g_activeScript = m_previous;
}

CDialogScript& CDialogScript::Next(std::int32_t templateId) {
  m_answers.push_back({templateId, {}});
  return *this;
}

CDialogScript& CDialogScript::Add(ScriptStep step) {
  if (m_answers.empty()) Next(0);
  m_answers.back().steps.push_back(std::move(step));
  return *this;
}

CDialogScript& CDialogScript::Press(std::int32_t controlId) {
  return Add({StepKind::Press, controlId, 0, {}, {}});
}

CDialogScript& CDialogScript::Type(std::int32_t controlId, std::u16string text) {
  return Add({StepKind::Type, controlId, 0, std::move(text), {}});
}

CDialogScript& CDialogScript::Key(std::uint32_t virtualKey, std::uint32_t modifiers) {
  return Add({StepKind::Key, static_cast<std::int32_t>(virtualKey), modifiers, {}, {}});
}

CDialogScript& CDialogScript::Answer(std::int32_t code) { return Add({StepKind::Answer, code, 0, {}, {}}); }

CDialogScript& CDialogScript::Call(std::function<void(CDialogSprite&)> action) {
  return Add({StepKind::Call, 0, 0, {}, std::move(action)});
}

void CDialogScript::Fail(CDialogSprite& dialog, const std::string& why) {
  m_errors.push_back("dialog " + std::to_string(dialog.id) + ": " + why);
  dialog.EndModal(kIdCancel);
}

void CDialogScript::PushKeys(CDialogSprite& dialog, std::vector<UiMessage> messages) {
  for (UiMessage& message : messages) {
    if (!UiQueue().PushInput(std::move(message))) {
      Fail(dialog, "the input queue has shut down");
      return;
    }
  }
}

void CDialogScript::Begin(CDialogSprite& dialog) {
  m_shown.push_back(dialog.id);
  Running running;
  running.dialog = &dialog;
  if (m_answers.empty()) {
    m_running.push_back(std::move(running));
    Fail(dialog, "no answer is left for it");
    return;
  }
  running.answer = std::move(m_answers.front());
  m_answers.pop_front();
  const std::int32_t expected = running.answer.templateId;
  m_running.push_back(std::move(running));
  if (expected != 0 && expected != dialog.id)
    Fail(dialog, "the answer was meant for dialog " + std::to_string(expected));
}

void CDialogScript::End(CDialogSprite& dialog) {
  if (!m_running.empty() && m_running.back().dialog == &dialog) m_running.pop_back();
}

void CDialogScript::Step(CDialogSprite& dialog) {
  if (m_running.empty() || m_running.back().dialog != &dialog) {
    Fail(dialog, "it is not the dialog the script answers now");
    return;
  }
  Running& running = m_running.back();
  if (running.next >= running.answer.steps.size()) {
    Fail(dialog, "still open after the last step of its answer");
    return;
  }
  // A copy: the step may open a nested dialog, which changes m_running.
  const ScriptStep step = running.answer.steps[running.next++];
  RunStep(dialog, step);
}

void CDialogScript::RunStep(CDialogSprite& dialog, const ScriptStep& step) {
  CRenderWindow* window = RenderWindowOf(dialog);
  auto control = [&]() -> CDialogControl* {
    CDialogControl* found = dialog.FindControl(step.value);
    if (!found || !found->IsShown()) {
      // Not a shown template control: a shown child with that sprite id
      // (the close button, controls a subclass adds itself).
      for (CSprite* child : dialog.children) {
        auto* candidate = dynamic_cast<CDialogControl*>(child);
        if (candidate && candidate->id == step.value && candidate->IsShown()) {
          found = candidate;
          break;
        }
      }
    }
    if (!found) {
      Fail(dialog, "it has no control " + std::to_string(step.value));
    } else if (!found->IsShown() || !found->acceptsInput) {
      Fail(dialog, "control " + std::to_string(step.value) + " is hidden or disabled");
      found = nullptr;
    }
    return found;
  };
  switch (step.kind) {
    case StepKind::Press: {
      CDialogControl* target = control();
      if (!target) return;
      const Point centre{target->rect.Width() / 2, target->rect.Height() / 2};
      const std::int32_t targetKey = target->key;
      target->OnLButtonDown(centre, MK_LBUTTON);
      if (window && IsObjectKeyAlive(targetKey) && target->CanTakeFocus()) window->SetFocusSprite(target, 0);
      if (IsObjectKeyAlive(targetKey)) target->OnLButtonUp(centre, 0);
      return;
    }
    case StepKind::Type: {
      CDialogControl* target = control();
      if (!target) return;
      if (!window) {
        Fail(dialog, "it has no window to type into");
        return;
      }
      window->SetFocusSprite(target, 0);
      const CInputBuilder builder;
      PushKeys(dialog, builder.Characters(step.text));
      return;
    }
    case StepKind::Key: {
      // The window drops a key that repeats within its filter time.
      SleepMilliseconds(kKeyRepeatFilterMs);
      CInputBuilder builder;
      builder.SetModifiers(step.modifiers);
      const auto key = static_cast<std::uint32_t>(step.value);
      std::vector<UiMessage> messages = builder.KeyDown(key, false);
      builder.SetModifiers(0);
      messages.push_back(builder.KeyUp(key));
      PushKeys(dialog, std::move(messages));
      return;
    }
    case StepKind::Answer:
      dialog.EndModal(step.value);
      return;
    case StepKind::Call:
      if (step.action) step.action(dialog);
      return;
  }
}
