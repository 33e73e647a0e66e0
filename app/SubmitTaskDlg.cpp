#include "app/SubmitTaskDlg.h"

#include "image/BgraImage.h"
#include "image/BgraImage16.h"
#include "image/codecs/CodecImage.h"
#include "platform/Registry.h"
#include "platform/RegistryProfile.h"
#include "platform/Utf16.h"
#include "ui/RenderWindow.h"
#include "ui/UIResources.h"
#include "ui/dialogs/SMessageDlg.h"
#include "ui/widgets/EditSprite.h"

namespace {

constexpr std::int32_t kNameLimit = 63;
constexpr std::int32_t kEmailLimit = 63;
constexpr std::int32_t kMessageLimit = 1024;
constexpr std::size_t kValueField = 4096;

}  // namespace

CSubmitTaskDlg::~CSubmitTaskDlg() = default;

bool CSubmitTaskDlg::OnInitDialog() {
  if (!CDialogSprite::OnInitDialog()) return false;
  const std::pair<std::int32_t, std::int32_t> limits[] = {
      {kNameId, kNameLimit}, {kEmailId, kEmailLimit}, {kMessageId, kMessageLimit}};
  for (const auto& [id, limit] : limits) {
    if (auto* field = dynamic_cast<CEditSprite*>(FindControl(id))) field->maxLength = limit;
  }
  std::u16string stored;
  if (GetRegString(RegistryProfile::kUserName, stored, true)) {
    if (CDialogControl* field = FindControl(kNameId)) field->SetValue(stored);
  }
  if (GetRegString(RegistryProfile::kUserEmail, stored, true)) {
    if (CDialogControl* field = FindControl(kEmailId)) field->SetValue(stored);
  }

  if (!photo || photo->IsEmpty()) return false;
  CBgraImage eightBit;
  if (!photo->ToBgraImageDithered(eightBit)) return false;
  jpegData.clear();
  CCodecImage codec;
  PixelBlock encoded;
  std::uint32_t size = 0;
  codec.attributes.quality = kJpegQuality;
  if (eightBit.ToCodecImageRgb(codec) && codec.Encode(encoded, size)) {
    jpegData.assign(encoded.get(), encoded.get() + size);
  } else {
    UIResources().WriteLog("Photo not encoded for the masking service");
  }
  return true;
}

void CSubmitTaskDlg::SetInitialFocus() {
  CDialogControl* field = FindControl(kNameId);
  CRenderWindow* window = RenderWindowOf(*this);
  if (field && window) window->SetFocusSprite(field, 0);
}

bool CSubmitTaskDlg::OnSpriteMessage(const SpriteMessage& message) {
  if (message.code == kSpriteMsgButtonClicked && message.wparam == static_cast<std::uint64_t>(kSubmitId)) {
    Submit();
    return true;
  }
  return CDialogSprite::OnSpriteMessage(message);
}

void CSubmitTaskDlg::Submit() {
  const auto valueOf = [this](std::int32_t id) {
    std::u16string buffer(kValueField, u'\0');
    if (CDialogControl* field = FindControl(id)) field->GetValue(buffer);
    buffer.resize(buffer.find(u'\0'));
    return buffer;
  };
  const std::u16string typedName = valueOf(kNameId);
  const std::u16string typedEmail = valueOf(kEmailId);
  const std::u16string typedMessage = valueOf(kMessageId);
  if (typedName.size() < 3 || typedEmail.size() < 4 || typedEmail.find(u'@') == std::u16string::npos) {
    (void)ShowMessageBox(UIResources().texts.TextOrEmpty(u"dlgInvalidSubmit"), MessageBoxIcon::Information,
                         MessageBoxButtons::Ok);  // only OK
    return;
  }
  if (!SetRegString(RegistryProfile::kUserName.section, RegistryProfile::kUserName.name, typedName) ||
      !SetRegString(RegistryProfile::kUserEmail.section, RegistryProfile::kUserEmail.name, typedEmail)) {
    UIResources().WriteLog("Name and e-mail address not stored");
  }
  name = TruncatedText(typedName, kTaskNameField);
  email = TruncatedText(typedEmail, kTaskEmailField);
  message = TruncatedText(typedMessage, kTaskMessageField);
  if (!StartMaskingTask({typedName, typedEmail, typedMessage, jpegData}, servicePort, serviceTimeout))
    UIResources().WriteLog("Masking task not started");
}
