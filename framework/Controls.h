// The base of every window control, and the three plain controls built on our own window
// class: TPanel (a coloured container with an optional caption), TLabel (text; also a link or
// a button with hover events) and TImage (a picture with a Tag).
//
// How to use: create controls with new, giving the parent: `auto* l = new TLabel(form);`.
// A control belongs to its parent and is freed with it (or earlier with delete, which takes it
// out of its parent). Set the look with SetBounds/SetCaption/SetFont/SetColor and the
// behaviour with the On... events; every event runs behind the exception boundary when it
// comes from a window message. Controls that show text implement TCaptionTarget, so scanners
// can write into them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "Graphics.h"
#include "Outputs.h"

class TObject {
 public:
  virtual ~TObject() = default;
};

class TForm;

using TNotifyEvent = std::function<void(TObject* sender)>;
enum class TMouseButton { Left, Right, Middle };
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, int x, int y)>;

enum class TAlign { None, Top, Bottom, Left, Right, Client };
enum class TCursor { Default, HandPoint, HourGlass };
enum class TAlignment { LeftJustify, Center, RightJustify };

// What a derived control asks for when its window is made.
struct TWindowParams {
  const wchar_t* ClassName = nullptr;   // a system class; null: our own window class
  std::wstring OwnClass;                // the name of our own class (default "ZelvoranControl")
  DWORD Style = 0;                      // WS_CHILD and WS_VISIBLE are added for child controls
  DWORD ExStyle = 0;
  int Width = 100;
  int Height = 25;
  HWND OwnerWindow = nullptr;           // top-level windows only
  bool TopLevel = false;
  bool Hidden = false;                  // child controls start visible unless this is set
};

class TControl : public TObject, public TCaptionTarget {
 public:
  TControl(TControl* parent, const TWindowParams& params);
  ~TControl() override;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  HWND Handle() const { return handle_; }
  TControl* Parent() const { return parent_; }
  // The control that owns this window message target (null for foreign windows).
  static TControl* FromHandle(HWND hwnd);

  std::string Name;
  int Tag = 0;

  // Geometry, in the parent's client coordinates (screen coordinates for top-level windows).
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
  void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
  void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
  void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
  int ClientWidth() const;
  int ClientHeight() const;
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  virtual bool Visible() const;
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const;
  virtual void SetEnabled(bool enabled);

  const TFont& Font() const { return font_; }
  virtual void SetFont(const TFont& font);
  void SetFontColor(TColor color);
  TColor Color() const { return color_; }
  virtual void SetColor(TColor color);
  void SetCursor(TCursor cursor) { cursor_ = cursor; }
  TCursor Cursor() const { return cursor_; }
  std::string Hint;

  std::string Caption() const override;
  void SetCaption(const std::string& text) override;

  void Invalidate();
  void Repaint();          // invalidates and paints at once, with the controls inside
  void SetFocus();
  bool Focused() const;
  void BringToFront();
  bool TabStop() const;

  int ControlCount() const { return (int)children_.size(); }
  TControl* Controls(int index) const { return children_.at(index); }
  TForm* ParentForm() const;   // the nearest form this control is in (itself for a form)

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;     // raised after the control's own handling of the button
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  // The control's context menu is asked for: at the mouse's screen point, or with x = y = -1
  // from the keyboard (the menu key, Shift+F10).
  TMouseMoveEvent OnContextMenu;
  TNotifyEvent OnResize;

  // Acts as a click by the user (a button also passes its modal result to its form).
  virtual void Click();

  // Sends a message to the control's window, as a test or a caller would.
  LRESULT Perform(UINT msg, WPARAM wp = 0, LPARAM lp = 0);

 protected:
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);

  // Notifications the parent passes back to the child that sent them.
  virtual void CommandNotify(WORD code) {}
  virtual bool Notify(NMHDR* hdr, LRESULT& result) { return false; }
  virtual HBRUSH CtlColor(HDC dc);            // null: the system's default
  virtual void DrawItem(DRAWITEMSTRUCT& dis) {}
  virtual void MeasureItem(MEASUREITEMSTRUCT& mis) {}

  // Painting of our own window class: the background (colour, or what lies below when
  // transparent), then PaintContent.
  virtual void PaintContent(HDC dc) {}
  bool transparent_ = false;
  // Images take part in the backgrounds of transparent controls drawn above them.
  virtual bool PaintsIntoBackground() const { return false; }
  void PaintBackground(HDC dc);
  void PaintParentBackground(HDC dc);

  // The framework's mouse-enter and mouse-leave notifications.
  virtual void CMMouseEnter() {}
  virtual void CMMouseLeave() {}

  virtual void Realign();
  virtual void FontChanged();
  bool ownClass_ = false;
  bool ready_ = false;   // set when the C++ object is complete enough to take messages

 private:
  friend LRESULT CALLBACK ControlWindowProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, bool& handled);
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);

  HWND handle_ = nullptr;
  TControl* parent_ = nullptr;
  std::vector<TControl*> children_;
  WNDPROC oldProc_ = nullptr;
  UINT id_ = 0;
  TAlign align_ = TAlign::None;
  TFont font_;
  TColor color_ = clBtnFace;
  TCursor cursor_ = TCursor::Default;
  bool hovering_ = false;
  bool pressed_ = false;
  bool deleting_ = false;
};

// Registers one of our own window classes (all share the control window procedure).
void RegisterControlClass(const std::wstring& name);

// Runs a reflected WM_COMMAND / WM_NOTIFY / WM_DRAWITEM / WM_MEASUREITEM / WM_CTLCOLOR* on the
// child control it came from. Window procedures of other windows may call it too.
LRESULT ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, bool& handled);

// A container with a colour and, optionally, a centred caption and a one-pixel bevel.
class TPanel : public TControl {
 public:
  explicit TPanel(TControl* parent);
  bool Bevel = false;   // a thin raised frame
  TAlignment Alignment = TAlignment::Center;

 protected:
  void PaintContent(HDC dc) override;
};

// Text on the parent's background. As a link or button: SetCursor(HandPoint), OnClick,
// OnMouseEnter / OnMouseLeave.
class TLabel : public TControl {
 public:
  explicit TLabel(TControl* parent);
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  TAlignment Alignment = TAlignment::LeftJustify;
  bool VerticalCenter = false;
  bool WordWrap = false;
  bool PathEllipsis = false;       // a path too long for one line loses its middle, not its end
  bool AutoSize = false;           // the width follows the text when the caption changes (a
                                   // right-justified label keeps its right edge)
  void SetTransparent(bool transparent);   // default true: no fill of its own
  bool Transparent() const { return transparent_; }

 protected:
  void PaintContent(HDC dc) override;
  void CMMouseEnter() override;
  void CMMouseLeave() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

// A picture. The picture is drawn at the top left, centred or stretched; with a transparent
// colour (Picture().Transparent) what lies below shows through.
class TImage : public TControl {
 public:
  explicit TImage(TControl* parent);
  TBitmap& Picture() { return picture_; }
  const TBitmap& Picture() const { return picture_; }
  void SetPicture(TBitmap&& picture);
  void AssignPicture(const TBitmap& picture);
  void ClearPicture();              // an empty picture: only the background shows
  void PictureChanged() { Invalidate(); }
  bool Stretch = false;
  bool Center = false;
  bool AutoSize = false;            // the control takes the picture's size

 protected:
  void PaintContent(HDC dc) override;
  bool PaintsIntoBackground() const override { return true; }

 private:
  TBitmap picture_;
};

// A filled rectangle with a frame (a separator line when one pixel high).
class TShape : public TControl {
 public:
  explicit TShape(TControl* parent);
  TColor BrushColor = clWhite;
  TColor PenColor = clBlack;

 protected:
  void PaintContent(HDC dc) override;
  bool PaintsIntoBackground() const override { return true; }
};
