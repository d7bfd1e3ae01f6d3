#pragma once
// The mail model shared by every mail-client reader: folder and message
// descriptors, the lists that own them, and the reader base class.
// Descriptors are held through shared_ptr so a task's selection copy
// (TTaskMCInfo) can keep a folder alive; a list still owns its elements in
// that removing or clearing drops the list's hold.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/LocalTime.h"

namespace solvane {

// Mail client kinds as sent to the server in "MCKind".
enum : std::uint8_t {
  kMCKindFoxmail = 0,
  kMCKindOutlook = 1,
  kMCKindOutlookExpress = 2,
};

struct TQorMCMessage {
  std::int64_t MessageID = 0;
  std::string Subject;
  std::string Sender;
  std::string Receiver;
  DateTime SendDate{};
  DateTime ReceiveDate{};
  std::int64_t Size = 0;
  std::int64_t Offset = 0;
  std::int64_t FolderID = 0;
  std::int32_t UpdateDate = 0;
  std::string Cargo;
  bool IsSelected = false;
};

// Ordered list owning its messages.
class TQorMCMessageList {
 public:
  using TItem = std::shared_ptr<TQorMCMessage>;

  TQorMCMessage& Add(TQorMCMessage message);
  // The first message with that MessageID, or nullptr.
  TQorMCMessage* FindByID(std::int64_t id) const;
  void Clear() { m_items.clear(); }
  std::size_t Count() const { return m_items.size(); }
  bool Empty() const { return m_items.empty(); }
  TQorMCMessage& operator[](std::size_t i) const { return *m_items[i]; }
  auto begin() const { return m_items.begin(); }
  auto end() const { return m_items.end(); }

 private:
  std::vector<TItem> m_items;
};

struct TQorMCFolderObject {
  std::int64_t FolderID = 0;
  std::int64_t ParentID = 0;
  std::string Name;
  std::int32_t Data = 0;
  std::string Cargo;
  std::string FileName1;
  std::string FileName2;
  TQorMCMessageList Messages;
  bool IsSelected = false;
  bool IsLoaded = false;
};

// Sets the folder's IsSelected and that of each of its messages.
void SetSelected(TQorMCFolderObject& folder, bool value);
bool HasSelectedMessage(const TQorMCFolderObject& folder);
// Name=value lines, each ended by CR LF; lines with empty values are left out.
std::string Describe(const TQorMCMessage& message);

// Ordered list owning its folders.
class TQorMCFolderObjectList {
 public:
  using TItem = std::shared_ptr<TQorMCFolderObject>;

  TQorMCFolderObject& Add(TQorMCFolderObject folder);
  // The first folder with that FolderID, or nullptr.
  TQorMCFolderObject* FindByID(std::int64_t id) const;
  // The shared hold of the first folder with that FolderID, or empty.
  TItem FindItemByID(std::int64_t id) const;
  void SetAllSelected(bool value);
  // True when some folder is selected or holds a selected message.
  bool HasSelection() const;
  void Clear() { m_items.clear(); }
  std::size_t Count() const { return m_items.size(); }
  bool Empty() const { return m_items.empty(); }
  TQorMCFolderObject& operator[](std::size_t i) const { return *m_items[i]; }
  auto begin() const { return m_items.begin(); }
  auto end() const { return m_items.end(); }

 private:
  std::vector<TItem> m_items;
};

// Outcome of exporting one message.
struct TQorMCExportResult {
  bool Ok = false;
  std::string Error;  // why nothing (complete) was written; empty when Ok
};

// Base of the mail-client readers. The base reader does nothing.
class TQorCustomMC {
 public:
  explicit TQorCustomMC(std::uint8_t kind) : Kind(kind) {}
  virtual ~TQorCustomMC() = default;
  TQorCustomMC(const TQorCustomMC&) = delete;
  TQorCustomMC& operator=(const TQorCustomMC&) = delete;

  // Finds the store and, when installed and not yet Loaded, reads the folders.
  virtual void Init() {}
  // Fills folder.Messages; nothing when not Installed or when already
  // loaded and force is false.
  virtual void ReadMessage(TQorMCFolderObject& folder, bool force) {
    (void)folder;
    (void)force;
  }
  // Writes the one message to fileName, creating its folder chain first.
  virtual TQorMCExportResult ExportMessage(const TQorMCFolderObject& folder,
                                           const TQorMCMessage& message,
                                           const std::string& fileName) {
    (void)folder;
    (void)message;
    (void)fileName;
    return {false, "this mail client has no reader"};
  }

  // Copies the saved folder's ticks onto this reader's folder with the same
  // FolderID; false when there is none. Messages are matched by MessageID;
  // saved messages this reader does not hold are skipped.
  bool ApplySelection(const TQorMCFolderObject& saved);

  bool Installed = false;
  bool Loaded = false;
  // Why the last Init raised an error (its reader then stays not loaded);
  // empty otherwise. Set by whoever calls Init.
  std::string InitError;
  TQorMCFolderObjectList Folders;
  std::uint8_t Kind;
};

}  // namespace solvane
