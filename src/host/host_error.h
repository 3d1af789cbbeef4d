// Failures of the host and of the component: a source, a number and a
// description, as the error box shows them ("SOURCE：(N)DESCRIPTION").
// Only the dispatcher catches these (and the ignore-failures helper).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kelv::host {

// Error numbers the host and the component use.
enum ErrorNumber : int32_t {
  kInvalidArgument = 5,
  kOverflow = 6,
  kOutOfMemory = 7,
  kSubscriptOutOfRange = 9,  // a missing workbook, sheet or control
  kTypeMismatch = 13,
  kUserInterrupt = 18,  // the person stopped long work
  kFileNotFound = 53,
  kPermissionDenied = 70,
  kPathFileAccess = 75,
  kPathNotFound = 76,
  kObjectNotSet = 91,  // an object reference that is Nothing
  kInvalidUseOfNull = 94,
  kObjectRequired = 424,
  kNoSuchMember = 438,  // an object without the property or method named
  kArgumentNotOptional = 449,
  kRefused = 1004,  // refused by the application
};

// Source text of failures raised by the embedded spreadsheet host.
inline constexpr const char* kHostSource = "kelv 电子表格";
// Source text of the component's own failures.
inline constexpr const char* kComponentSource = "kelv.torb";

// The standard Chinese description of an error number ("下标越界" for 9).
std::string standard_description(int32_t number);

class HostError : public std::runtime_error {
 public:
  HostError(std::string source, int32_t number, std::string description);

  // A failure of the embedded host with the standard description of number.
  static HostError host(int32_t number);
  // A failure of the embedded host with its own description.
  static HostError host(int32_t number, std::string description);

  const std::string& source() const { return source_; }
  int32_t number() const { return number_; }
  const std::string& description() const { return description_; }

 private:
  std::string source_;
  int32_t number_;
  std::string description_;
};

}  // namespace kelv::host
