// What long operations write to while they run: a caption, a progress position, a list's
// item count. Window controls implement these; tests use the plain holders below.
#pragma once

#include <string>

class TCaptionTarget {
 public:
  virtual ~TCaptionTarget() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual std::string Caption() const = 0;
};

class TProgressTarget {
 public:
  virtual ~TProgressTarget() = default;
  virtual int Position() const = 0;
  virtual void SetPosition(int position) = 0;
};

class TListCountTarget {
 public:
  virtual ~TListCountTarget() = default;
  virtual void SetItemCount(int count) = 0;
  virtual void Invalidate() = 0;
};

// Plain holders: keep what was written (and how often), show nothing.
class TCaptionHolder : public TCaptionTarget {
 public:
  std::string Text;
  int Changes = 0;
  void SetCaption(const std::string& text) override {
    Text = text;
    ++Changes;
  }
  std::string Caption() const override { return Text; }
};

class TProgressHolder : public TProgressTarget {
 public:
  int Value = 0;
  int Position() const override { return Value; }
  void SetPosition(int position) override { Value = position; }
};

class TListCountHolder : public TListCountTarget {
 public:
  int Count = 0;
  int Invalidations = 0;
  void SetItemCount(int count) override { Count = count; }
  void Invalidate() override { ++Invalidations; }
};
