// A picture on a worksheet (Pictures.Insert result). Its box is in points.
// shape_range() returns the picture itself: the component only ever works on
// the one picture it has just inserted.
#pragma once

#include <string>
#include <string_view>

namespace kelv::host {

class Picture {
 public:
  virtual ~Picture() = default;
  // Selects the picture alone, on its sheet.
  virtual void select() = 0;
  virtual bool lock_aspect_ratio() const = 0;
  virtual void set_lock_aspect_ratio(bool lock) = 0;
  virtual double top() const = 0;
  virtual double left() const = 0;
  virtual double width() const = 0;
  virtual double height() const = 0;
  virtual void set_top(double pt) = 0;
  virtual void set_left(double pt) = 0;
  // With the aspect ratio locked, setting one of width and height scales the
  // other. kRefused for a negative or non-finite size, which changes nothing.
  virtual void set_width(double pt) = 0;
  virtual void set_height(double pt) = 0;
  // AlternativeText: the picture's description, kept in the saved file.
  // Inserting a file sets it to the file's name.
  virtual std::string alternative_text() const = 0;
  virtual void set_alternative_text(std::string_view text) = 0;
  Picture& shape_range() { return *this; }
};

}  // namespace kelv::host
