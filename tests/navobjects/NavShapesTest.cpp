// Map shapes and their collections: order, names, styles, the drag
// countdown, the click marks and what a shape draws.
#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "navobjects/NavCtrls.h"

namespace {

std::vector<std::string> Names(const TNavShapeCollection& c) {
  std::vector<std::string> names;
  for (int i = 0; i < c.Count(); ++i) {
    EXPECT_EQ(c.At(i)->Index, i);  // renumbered after every change
    names.push_back(c.At(i)->Caption);
  }
  return names;
}

TNavShape* Named(TNavShapeCollection& c, int index, const char* name, TPoint at = {100, 100}) {
  TNavShape* s = c.InsertAt(at, index);
  s->Caption = name;
  return s;
}

TEST(NavShapes, InsertAtPutsTheShapeWhereTheIndexSays) {
  struct Case {
    int index;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {0, {"N", "A", "B", "C"}},   {-3, {"N", "A", "B", "C"}}, {1, {"A", "N", "B", "C"}},
      {2, {"A", "B", "N", "C"}},   {3, {"A", "B", "C", "N"}},  {99, {"A", "B", "C", "N"}},
  };
  for (const Case& c : cases) {
    TNavShapeCollection list;
    for (const char* n : {"A", "B", "C"}) Named(list, list.Count(), n);
    TNavShape* s = Named(list, c.index, "N");
    EXPECT_EQ(Names(list), c.expected) << "index " << c.index;
    EXPECT_EQ(list.Current, s);
    EXPECT_EQ(TNavShape::LastShape(), s);
  }
  TNavShapeCollection empty;
  Named(empty, 5, "only");
  EXPECT_EQ(Names(empty), std::vector<std::string>{"only"});
}

TEST(NavShapes, NeighboursFindingAndDeleting) {
  TNavShapeCollection list;
  TNavShape* unnamed = Named(list, 0, "");
  TNavShape* a = Named(list, 1, "Harbour");
  TNavShape* b = Named(list, 2, "harbour");
  EXPECT_EQ(list.FindByName(""), nullptr);  // even though a shape has no name
  EXPECT_EQ(list.FindByName("Harbour"), a);
  EXPECT_EQ(list.FindByName("harbour"), b);
  EXPECT_EQ(list.FindByName("Harb"), nullptr);
  EXPECT_EQ(a->Prev(), unnamed);
  EXPECT_EQ(a->Next(), b);
  EXPECT_EQ(b->Next(), nullptr);
  EXPECT_EQ(unnamed->Prev(), nullptr);

  list.Delete(a);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"", "harbour"}));
  EXPECT_EQ(TNavShape::LastShape(), b);
  list.Delete(b);
  EXPECT_EQ(TNavShape::LastShape(), nullptr);  // freed, so forgotten
  EXPECT_FALSE(list.Holds(b));
  EXPECT_TRUE(list.Holds(unnamed));
}

TEST(NavShapes, SizeKeepsTheCentreAndStylesFollowSelection) {
  TNavShapeCollection list;
  list.NormalStyle = {kPalette16[piBlack], TShapePenMode::Copy, TPenStyle::Solid, 1, NavPlusRect};
  list.SelectedStyle = {kPalette16[piRed], TShapePenMode::Copy, TPenStyle::Solid, 2, NavCircle};
  TNavShape* a = list.Add({10, 20}, false);
  TNavShape* b = list.Add({300, 40}, false);
  EXPECT_EQ(a->Size(), 45);
  EXPECT_EQ(a->Left(), 10 - 22);
  list.SetSizeAll(17);
  EXPECT_EQ(a->Pos(), (TPoint{10, 20}));
  EXPECT_EQ(b->Pos(), (TPoint{300, 40}));
  EXPECT_EQ(b->Width(), 17);
  EXPECT_EQ(b->Left(), 300 - 8);

  list.Select(b);
  list.StyleAll();
  EXPECT_EQ(a->Shape, NavPlusRect);
  EXPECT_EQ(a->Pen.Color, kPalette16[piBlack]);
  EXPECT_EQ(b->Shape, NavCircle);
  EXPECT_EQ(b->Pen.Width, 2);
  EXPECT_EQ(list.SelectedCount(), 1);
  list.Select(a);
  EXPECT_FALSE(b->Selected);
}

TEST(NavShapes, NameModeLocksShapesOfADisabledCollection) {
  TNavShapeCollection list;
  TNavShape* a = list.Add({0, 0}, false);
  list.SetEnabledAll(false);
  EXPECT_FALSE(a->Enabled);
  list.SetNameMode(true);
  EXPECT_TRUE(a->ShowName);
  EXPECT_TRUE(a->Enabled);
  EXPECT_TRUE(a->Locked);  // movable only while the collection is enabled
  EXPECT_FALSE(list.LabelFlag);
  TNavShape* later = list.Add({0, 0}, false);
  EXPECT_TRUE(later->Locked && later->ShowName);
  list.SetNameMode(false);
  EXPECT_FALSE(a->Enabled);
  EXPECT_TRUE(list.LabelFlag);
  list.SetMode(false, true);
  EXPECT_TRUE(a->Enabled);
  EXPECT_FALSE(list.LabelFlag);
}

// Presses, moves and releases as the view hands them over.
struct TMouseScript {
  TNavShapeCollection list;
  TNavShape* shape = nullptr;
  int ups = 0, clicks = 0, moves = 0, doubles = 0;
  TMouseScript() {
    list.OnMouseUp = [this](TNavShape&, const TShapeMouse&) { ++ups; };
    list.OnClick = [this](TNavShape&, const TShapeMouse&) { ++clicks; };
    list.OnMouseMove = [this](TNavShape&, const TShapeMouse&) { ++moves; };
    list.OnDblClick = [this](TNavShape&, const TShapeMouse&) { ++doubles; };
    shape = list.Add({100, 100}, false);
  }
  // A press at the shape, `n` moves of one pixel each to the right, a release.
  void Drag(int n, TShapeButton button = TShapeButton::Left) {
    TShapeMouse m{{100, 100}, button};
    TNavShape* s = list.ShapeAtPixel(m.At);
    ASSERT_NE(s, nullptr);
    list.PressOn(*s, m);
    for (int i = 1; i <= n; ++i) list.MouseMove({{100 + i, 100}, button});
    list.MouseUp({{100 + n, 100}, button});
  }
};

TEST(NavShapes, ADragStartsOnTheFifthMove) {
  {
    TMouseScript t;
    t.Drag(4);
    EXPECT_EQ(t.shape->Pos(), (TPoint{100, 100}));
    EXPECT_EQ(t.ups, 0);
    EXPECT_EQ(t.clicks, 1);
    EXPECT_TRUE(t.shape->Clicked);
    EXPECT_FALSE(t.shape->Moved);
  }
  {
    TMouseScript t;
    t.Drag(5);
    EXPECT_EQ(t.shape->Pos(), (TPoint{105, 100}));
    EXPECT_EQ(t.moves, 1);
    EXPECT_EQ(t.ups, 1);
    EXPECT_EQ(t.clicks, 0);
    EXPECT_TRUE(t.shape->Moved);
    EXPECT_EQ(TNavShape::LastShape(), t.shape);
    EXPECT_EQ(TNavShape::Dragging(), nullptr);
  }
  {
    TMouseScript t;
    t.Drag(9);
    EXPECT_EQ(t.shape->Pos(), (TPoint{109, 100}));
    EXPECT_EQ(t.moves, 5);
    EXPECT_EQ(t.ups, 1);
  }
}

TEST(NavShapes, LockedShapesTheRightButtonAndDoubleClicksNeverDrag) {
  {
    TMouseScript t;
    t.shape->Locked = true;
    t.Drag(12);
    EXPECT_EQ(t.shape->Pos(), (TPoint{100, 100}));
    EXPECT_EQ(t.clicks, 1);
  }
  {
    TMouseScript t;
    t.Drag(12, TShapeButton::Right);
    EXPECT_EQ(t.shape->Pos(), (TPoint{100, 100}));
    EXPECT_EQ(t.ups, 0);
  }
  {
    // A double click cancels the drag at the next move.
    TMouseScript t;
    t.list.PressOn(*t.shape, {{100, 100}});
    t.shape->DblClick({{100, 100}});
    for (int i = 1; i <= 8; ++i) t.list.MouseMove({{100 + i, 100}});
    t.list.MouseUp({{108, 100}});
    EXPECT_EQ(t.shape->Pos(), (TPoint{100, 100}));
    EXPECT_EQ(t.doubles, 1);
    EXPECT_EQ(t.ups, 0);
  }
}

TEST(NavShapes, DeleteClickedTakesOnlyTheLastClickedShape) {
  TNavShapeCollection list;
  TNavShape* a = list.Add({100, 100}, false);
  a->Caption = "A";
  TNavShape* b = list.Add({300, 100}, false);
  b->Caption = "B";
  list.PressOn(*a, {{100, 100}});
  list.MouseUp({{100, 100}});
  list.PressOn(*b, {{300, 100}});
  list.MouseUp({{300, 100}});
  list.DeleteClicked();
  EXPECT_EQ(Names(list), std::vector<std::string>{"A"});
}

TEST(NavShapes, FreeingTheDraggedShapeClearsTheDragAndTheCapture) {
  TNavShapeCollection list;
  TNavShape* a = list.Add({100, 100}, false);
  list.PressOn(*a, {{100, 100}});
  EXPECT_EQ(TNavShape::Dragging(), a);
  EXPECT_TRUE(list.HasMouse());
  list.Delete(a);
  EXPECT_EQ(TNavShape::Dragging(), nullptr);
  EXPECT_FALSE(list.HasMouse());
  EXPECT_FALSE(list.MouseMove({{120, 100}}));
  // A shape that frees itself from its own handler ends the release cleanly.
  TNavShape* b = list.Add({100, 100}, false);
  b->OnClick = [&list](TNavShape& s, const TShapeMouse&) { list.Delete(&s); };
  list.PressOn(*b, {{100, 100}});
  EXPECT_TRUE(list.MouseUp({{100, 100}}));
  EXPECT_EQ(list.Count(), 0);
}

TEST(NavShapes, HitTestingTakesTheTopmostVisibleEnabledShape) {
  TNavShapeCollection list;
  list.Size = 11;
  TNavShape* under = list.Add({100, 100}, false);
  TNavShape* over = list.Add({104, 100}, false);
  EXPECT_EQ(list.ShapeAtPixel({102, 100}), over);
  EXPECT_EQ(list.ShapeAtPixel({96, 100}), under);
  EXPECT_EQ(list.ShapeAtPixel({120, 100}), nullptr);
  over->Visible = false;
  EXPECT_EQ(list.ShapeAtPixel({102, 100}), under);
  under->Enabled = false;
  EXPECT_EQ(list.ShapeAtPixel({102, 100}), nullptr);
  under->ShowName = true;
  EXPECT_EQ(list.HintShapeAt({102, 100}), under);  // hints show on disabled shapes
}

// What one shape draws, through the recording canvas.
std::vector<std::string> Drawn(TNavShapeType type, int32_t w, int32_t h, int penWidth = 1) {
  TMoreShape s;
  s.Shape = type;
  s.SetExtent(w, h);
  s.SetPos({w / 2, h / 2});  // top-left at (0, 0)
  s.Pen.Width = penWidth;
  TRecordingCanvas canvas;
  {
    TShapePainter p(canvas, {0, 0});
    s.Paint(p);
  }
  std::vector<std::string> shapes;
  for (const std::string& c : canvas.calls())
    if (c.rfind("pen", 0) != 0 && c.rfind("brush", 0) != 0) shapes.push_back(c);
  return shapes;
}

TEST(NavShapes, PaintingFollowsTheTypeGeometry) {
  // A square in a 45 x 30 shape is centred and square: 30 wide at 7 + 0.
  EXPECT_EQ(Drawn(NavSquare, 45, 30), std::vector<std::string>{"rect 7,0,36,29"});
  EXPECT_EQ(Drawn(NavRectangle, 45, 30), std::vector<std::string>{"rect 0,0,44,29"});
  EXPECT_EQ(Drawn(NavCircle, 45, 30), std::vector<std::string>{"ellipse 7,0,36,29"});
  EXPECT_EQ(Drawn(NavRoundSquare, 45, 30), std::vector<std::string>{"roundrect 7,0,36,29 7,7"});
  // A plus with an open centre around a square of half size a div 4 + w.
  EXPECT_EQ(Drawn(NavPlusRect, 45, 45),
            (std::vector<std::string>{"rect 11,11,32,32", "line 1,22 20,22", "line 44,22 24,22", "line 22,1 22,20",
                                      "line 22,43 22,24"}));
  // The crossing diagonals end on the same inset on both sides.
  const std::vector<std::string> cross = Drawn(NavCrossCircle, 21, 21);
  EXPECT_NE(std::find(cross.begin(), cross.end(), "line 1,1 19,19"), cross.end());
  EXPECT_NE(std::find(cross.begin(), cross.end(), "line 1,19 19,1"), cross.end());
  // Nothing of the open plus touches the centre pixel.
  for (TNavShapeType t : {NavPlusRect, NavPlusSmallRect, NavPlusCircle, NavPlusSmallCircle})
    for (const std::string& c : Drawn(t, 45, 45))
      EXPECT_EQ(c.find("22,22"), std::string::npos) << c;
}

TEST(NavShapes, LabelsUseAtLeastEightPointsInThePenColour) {
  for (const auto& [size, points] : std::vector<std::pair<int, int>>{{3, 8}, {8, 8}, {17, 12}, {45, 26}}) {
    TNavShapeCollection list;
    list.Size = size;
    list.LabelFlag = true;
    TNavShape* s = list.Add({50, 60}, false);
    s->Caption = "Buoy";
    s->Pen.Color = kPalette16[piRed];
    list.Add({80, 60}, false);  // no name, no label
    TRecordingCanvas canvas;
    {
      TShapePainter p(canvas, {0, 0});
      list.PaintAll(p);
    }
    const std::vector<std::string>& calls = canvas.calls();
    const auto font = std::find(calls.begin(), calls.end(), "font  " + std::to_string(points));
    EXPECT_NE(font, calls.end()) << size;
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("text", 0) == 0; }),
              1);
    EXPECT_NE(std::find(calls.begin(), calls.end(),
                        "text " + std::to_string(50 - size / 2) + "," + std::to_string(60 + size / 2 + 1) + " Buoy"),
              calls.end());
  }
}

}  // namespace
