#pragma once
// The assignment protocol of persistent objects: Assign asks the source to
// AssignTo this object, and a pair neither side knows fails with
// "Cannot assign a %s to a %s".
#include <string>
#include <vector>

namespace icofmt {

class TPersistent {
 public:
  virtual ~TPersistent() = default;
  virtual const char* ClassName() const = 0;

  // Copies source into this object; source may be null ("nil").
  virtual void Assign(const TPersistent* source);

 protected:
  virtual void AssignTo(TPersistent* destination) const;
  // Throws ListError-free Error: "Cannot assign a <source or nil> to a <this>".
  [[noreturn]] void AssignError(const TPersistent* source) const;

  friend class TPersistentAccess;
};

// Gives classes access to another object's protected AssignTo.
class TPersistentAccess {
 public:
  static void assignTo(const TPersistent& from, TPersistent* to) { from.AssignTo(to); }
};

// A list of text lines, the other party of the typed lists' text assignment.
class TStringList : public TPersistent {
 public:
  const char* ClassName() const override { return "TStringList"; }
  void Assign(const TPersistent* source) override;

  std::vector<std::string> Strings;
};

// Converts text to an integer as the lists do; throws ConvertError
// ("'%s' is not a valid integer value"). Accepts blanks around it, a sign,
// and hexadecimal with "$" or "0x".
int StrToInt(const std::string& text);

}  // namespace icofmt
