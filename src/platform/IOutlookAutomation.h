#pragma once
// Outlook's automation object model, reached by late-bound calls: every
// object of the model (application, namespace, folder, item, collection) is
// one IOutlookAutomation, and its members are named as Outlook publishes
// them ("Folders", "Count", "EntryID", "GetFolderFromID", "SaveAs", ...).
// Calls never throw: a call Outlook refuses or that fails comes back as a
// value that says so.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/LocalTime.h"

namespace solvane {

class IOutlookAutomation;
using TOutlookRef = std::shared_ptr<IOutlookAutomation>;

// What an automation call returned. An object result may be null (a member
// that answers "nothing", such as GetFolderFromID of an unknown entry).
// A date the DateTime range cannot hold comes back empty.
struct TOutlookValue {
  bool Ok = false;  // false: the call was refused or failed
  std::variant<std::monostate, std::string, std::int64_t, DateTime, TOutlookRef> Value;

  static TOutlookValue Refused() { return {}; }
  template <class T>
  static TOutlookValue Of(T value) {
    TOutlookValue v;
    v.Ok = true;
    v.Value = std::move(value);
    return v;
  }
};

class IOutlookAutomation {
 public:
  virtual ~IOutlookAutomation() = default;
  // A property by name: text, integer, date or object.
  virtual TOutlookValue Get(std::string_view member) = 0;
  // Entry index of a collection, counted from 1 (Folders(i), Items(i)).
  virtual TOutlookValue Item(std::int64_t index) = 0;
  // A method by name with text arguments.
  virtual TOutlookValue Call(std::string_view member, const std::vector<std::string>& args) = 0;
};

// The application object of the automation server "Outlook.Application";
// nullptr when there is none (always on this platform).
TOutlookRef CreateOutlookAutomation();

}  // namespace solvane
