#pragma once
// Driving an editing tool on an edit page in document pixels: the tool made
// current through the tool page, the pointer's document points turned into
// the canvas's tool points, drags as the canvas hands them over.

#include <cstring>

#include "editor/SEditPage.h"
#include "editor/SToolPage.h"
#include "editor/Tool.h"
#include "tests/editor/EditorFixture.h"

class ToolDrive {
public:
  ToolDrive(CSEditPage& page, CTool& tool) : m_page(page), m_tool(tool) {}

  CanvasPoint At(Point image) const { return m_page.canvas.Mapping().ToCanvasPoint(image); }
  void Hover(Point image) {
    (void)m_tool.OnMouseMove(0, m_last, At(image));
    m_last = At(image);
  }
  void Press(Point image) {
    (void)m_tool.OnButtonDown(CTool::kLeftButton, At(image), 0);
    m_last = At(image);
  }
  void MoveTo(Point image) {
    (void)m_tool.OnMouseMove(1, m_last, At(image));
    m_last = At(image);
  }
  void Release(Point image) { (void)m_tool.OnButtonUp(CTool::kLeftButton, At(image), 0); }
  // Hover at from, press, move to to, release there.
  void Drag(Point from, Point to) {
    Hover(from);
    Press(from);
    MoveTo(to);
    Release(to);
  }

private:
  CSEditPage& m_page;
  CTool& m_tool;
  CanvasPoint m_last;
};

// Equal documents: size, current layer, each layer's place and pixels, the
// selection and the masks.
inline testing::AssertionResult SameDocument(const CBFDoc& a, const CBFDoc& b) {
  if (a.m_width != b.m_width || a.m_height != b.m_height || a.LayerCount() != b.LayerCount() ||
      a.m_currentLayer != b.m_currentLayer)
    return testing::AssertionFailure() << "size, layer count or current layer differ";
  for (int i = 0; i < a.LayerCount(); ++i) {
    const CBFLayer& la = *a.GetLayer(i);
    const CBFLayer& lb = *b.GetLayer(i);
    if (la.m_x != lb.m_x || la.m_y != lb.m_y || la.m_image.width != lb.m_image.width ||
        la.m_image.height != lb.m_image.height ||
        std::memcmp(la.m_image.pixels, lb.m_image.pixels,
                    std::size_t{la.m_image.Stride()} * la.m_image.height * sizeof(std::uint16_t)) != 0)
      return testing::AssertionFailure() << "layer " << i << " differs";
  }
  if (a.m_selection.IsEmpty() != b.m_selection.IsEmpty() || a.m_masks.size() != b.m_masks.size())
    return testing::AssertionFailure() << "selection or masks differ";
  if (!a.m_selection.IsEmpty() &&
      (a.m_selection.byteSize != b.m_selection.byteSize ||
       std::memcmp(a.m_selection.pixels, b.m_selection.pixels, a.m_selection.byteSize) != 0))
    return testing::AssertionFailure() << "selection differs";
  return testing::AssertionSuccess();
}
