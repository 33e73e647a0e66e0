#include "platform/HeadlessHost.h"

#include <algorithm>

#include "platform/Clock.h"
#include "platform/UiQueue.h"
#include "platform/WindowMessages.h"

namespace {

std::size_t PixelCount(Size size) {
  return static_cast<std::size_t>(std::max(size.width, 0)) *
         static_cast<std::size_t>(std::max(size.height, 0));
}

}  // namespace

CHeadlessHost::CHeadlessHost(Size clientSize, int dpi, std::uint64_t startMs)
    : m_dpi(dpi), m_client(clientSize), m_windowRect{0, 0, clientSize.width, clientSize.height} {
  m_drawing.assign(PixelCount(clientSize), 0);
  m_presented = m_drawing;
  EnableFakeClock(startMs);
  UiQueue().Open();
  UiQueue().BindToCurrentThread();
  SetWindowHost(this);
}

CHeadlessHost::~CHeadlessHost() {
  if (WindowHost() == this) SetWindowHost(nullptr);
  UiQueue().Shutdown();
  DisableFakeClock();
}

int CHeadlessHost::CreateMainWindow(const WindowOptions& options) {
  std::lock_guard lock(m_mutex);
  m_window = true;
  m_title = options.title;
  m_minimum = options.minimumSize;
  m_show = options.maximized ? WindowShow::Maximized : WindowShow::Normal;
  return 1;
}

void CHeadlessHost::DestroyMainWindow() {
  std::lock_guard lock(m_mutex);
  m_window = false;
  m_show = WindowShow::Hidden;
}

bool CHeadlessHost::HasWindow() const {
  std::lock_guard lock(m_mutex);
  return m_window;
}

void CHeadlessHost::SetTitle(const std::u16string& title) {
  std::lock_guard lock(m_mutex);
  m_title = title;
}

void CHeadlessHost::SetMinimumSize(Size size) {
  std::lock_guard lock(m_mutex);
  m_minimum = size;
}

void CHeadlessHost::ShowWindow(WindowShow show) {
  std::lock_guard lock(m_mutex);
  m_show = show;
}

Rect CHeadlessHost::GetWindowRect() {
  std::lock_guard lock(m_mutex);
  return m_windowRect;
}

void CHeadlessHost::SetWindowRect(const Rect& rect) {
  {
    std::lock_guard lock(m_mutex);
    m_windowRect = rect;
  }
  Resize({rect.Width(), rect.Height()});
}

Size CHeadlessHost::GetClientSize() const {
  std::lock_guard lock(m_mutex);
  return m_client;
}

Point CHeadlessHost::GetCursorPos() {
  std::lock_guard lock(m_mutex);
  return m_cursor;
}

void CHeadlessHost::SetCursor(CursorShape shape) {
  std::lock_guard lock(m_mutex);
  m_cursorShape = shape;
}

void CHeadlessHost::SetCapture(bool capture) {
  std::lock_guard lock(m_mutex);
  m_capture = capture;
}

void CHeadlessHost::SetTextInputRect(const Rect& rect) {
  std::lock_guard lock(m_mutex);
  m_textInputRect = rect;
}

void CHeadlessHost::SetTextInputActive(bool active) {
  std::lock_guard lock(m_mutex);
  m_textInputActive = active;
}

bool CHeadlessHost::TextInputActive() const {
  std::lock_guard lock(m_mutex);
  return m_textInputActive;
}

Rect CHeadlessHost::TextInputRect() const {
  std::lock_guard lock(m_mutex);
  return m_textInputRect;
}

void CHeadlessHost::BlitPixels(Point destination, Size size, const std::uint32_t* pixels,
                               std::int32_t stride) {
  std::lock_guard lock(m_mutex);
  const std::int32_t x0 = std::max(destination.x, 0);
  const std::int32_t y0 = std::max(destination.y, 0);
  const std::int32_t x1 = std::min(destination.x + size.width, m_client.width);
  const std::int32_t y1 = std::min(destination.y + size.height, m_client.height);
  if (!pixels || x1 <= x0 || y1 <= y0) return;
  for (std::int32_t y = y0; y < y1; ++y) {
    const std::uint32_t* source =
        pixels + static_cast<std::ptrdiff_t>(y - destination.y) * stride + (x0 - destination.x);
    std::copy(source, source + (x1 - x0),
              m_drawing.begin() + static_cast<std::ptrdiff_t>(y) * m_client.width + x0);
  }
}

void CHeadlessHost::Present() {
  std::lock_guard lock(m_mutex);
  m_presented = m_drawing;
  ++m_presentCount;
}

void CHeadlessHost::AdvanceClock(std::uint64_t ms) {
  AdvanceFakeClock(ms);
  UiQueue().Wake();
}

void CHeadlessHost::Push(UiMessage message) {
  // Refused only once the queue has shut down; nobody reads input then.
  static_cast<void>(UiQueue().PushInput(std::move(message)));
}

void CHeadlessHost::MouseMove(Point point) {
  UiMessage m;
  {
    std::lock_guard lock(m_mutex);
    m_cursor = point;
    m = m_input.MouseMove(point);
  }
  Push(std::move(m));
}

void CHeadlessHost::MouseDown(MouseButton button, Point point) {
  UiMessage m;
  {
    std::lock_guard lock(m_mutex);
    m_cursor = point;
    m = m_input.MouseButtonEvent(button, true, false, point);
  }
  Push(std::move(m));
}

void CHeadlessHost::MouseUp(MouseButton button, Point point) {
  UiMessage m;
  {
    std::lock_guard lock(m_mutex);
    m_cursor = point;
    m = m_input.MouseButtonEvent(button, false, false, point);
  }
  Push(std::move(m));
}

void CHeadlessHost::DoubleClick(MouseButton button, Point point) {
  Click(button, point);
  UiMessage m;
  {
    std::lock_guard lock(m_mutex);
    m = m_input.MouseButtonEvent(button, true, true, point);
  }
  Push(std::move(m));
  MouseUp(button, point);
}

void CHeadlessHost::Click(MouseButton button, Point point) {
  MouseDown(button, point);
  MouseUp(button, point);
}

void CHeadlessHost::Wheel(Point point, std::int32_t delta) {
  UiMessage m;
  {
    std::lock_guard lock(m_mutex);
    m = m_input.Wheel(point, delta);
  }
  Push(std::move(m));
}

void CHeadlessHost::KeyDown(std::uint32_t virtualKey, bool repeat) {
  std::vector<UiMessage> messages;
  {
    std::lock_guard lock(m_mutex);
    messages = m_input.KeyDown(virtualKey, repeat);
  }
  for (UiMessage& m : messages) Push(std::move(m));
}

void CHeadlessHost::KeyUp(std::uint32_t virtualKey) {
  UiMessage m;
  {
    std::lock_guard lock(m_mutex);
    m = m_input.KeyUp(virtualKey);
  }
  Push(std::move(m));
}

void CHeadlessHost::KeyPress(std::uint32_t virtualKey) {
  KeyDown(virtualKey);
  KeyUp(virtualKey);
}

void CHeadlessHost::TypeText(std::u16string_view text) {
  std::vector<UiMessage> messages;
  {
    std::lock_guard lock(m_mutex);
    messages = m_input.Characters(text);
  }
  for (UiMessage& m : messages) Push(std::move(m));
}

void CHeadlessHost::DropFiles(Point point, std::vector<std::filesystem::path> files) {
  UiMessage m;
  m.message = WM_DROPFILES;
  m.point = point;
  auto list = std::make_unique<CDropFileList>();
  list->files = std::move(files);
  m.data = std::move(list);
  Push(std::move(m));
}

void CHeadlessHost::Activate(bool active) {
  UiMessage m;
  m.message = WM_ACTIVATE;
  m.wparam = active ? WA_ACTIVE : WA_INACTIVE;
  Push(std::move(m));
}

void CHeadlessHost::Resize(Size clientSize) {
  {
    std::lock_guard lock(m_mutex);
    m_client = clientSize;
    m_drawing.assign(PixelCount(clientSize), 0);
    m_presented = m_drawing;
  }
  UiMessage m;
  m.message = WM_SIZE;
  m.wparam = SIZE_RESTORED;
  m.point = {clientSize.width, clientSize.height};
  Push(std::move(m));
}

void CHeadlessHost::RequestClose() {
  UiMessage m;
  m.message = WM_CLOSE;
  Push(std::move(m));
}

std::vector<std::uint32_t> CHeadlessHost::PresentedScreen() const {
  std::lock_guard lock(m_mutex);
  return m_presented;
}

std::uint32_t CHeadlessHost::PresentedPixel(Point point) const {
  std::lock_guard lock(m_mutex);
  if (!Rect{0, 0, m_client.width, m_client.height}.Contains(point)) return 0;
  return m_presented[static_cast<std::size_t>(point.y) * m_client.width + point.x];
}

int CHeadlessHost::PresentCount() const {
  std::lock_guard lock(m_mutex);
  return m_presentCount;
}

CursorShape CHeadlessHost::Cursor() const {
  std::lock_guard lock(m_mutex);
  return m_cursorShape;
}

bool CHeadlessHost::Captured() const {
  std::lock_guard lock(m_mutex);
  return m_capture;
}

std::u16string CHeadlessHost::Title() const {
  std::lock_guard lock(m_mutex);
  return m_title;
}

WindowShow CHeadlessHost::Show() const {
  std::lock_guard lock(m_mutex);
  return m_show;
}
