#include "mail/QorWithMCDefine.h"

#include <cstdio>

#include "wire/QorWithUiPump.h"

namespace solvane {

TQorMCMessage& TQorMCMessageList::Add(TQorMCMessage message) {
  m_items.push_back(std::make_shared<TQorMCMessage>(std::move(message)));
  return *m_items.back();
}

TQorMCMessage* TQorMCMessageList::FindByID(std::int64_t id) const {
  for (const auto& m : m_items)
    if (m->MessageID == id) return m.get();
  return nullptr;
}

TQorMCFolderObject& TQorMCFolderObjectList::Add(TQorMCFolderObject folder) {
  m_items.push_back(std::make_shared<TQorMCFolderObject>(std::move(folder)));
  return *m_items.back();
}

TQorMCFolderObjectList::TItem TQorMCFolderObjectList::FindItemByID(std::int64_t id) const {
  for (const auto& f : m_items)
    if (f->FolderID == id) return f;
  return nullptr;
}

TQorMCFolderObject* TQorMCFolderObjectList::FindByID(std::int64_t id) const {
  return FindItemByID(id).get();
}

void TQorMCFolderObjectList::SetAllSelected(bool value) {
  for (const auto& f : m_items) SetSelected(*f, value);
}

bool TQorMCFolderObjectList::HasSelection() const {
  for (const auto& f : m_items)
    if (f->IsSelected || HasSelectedMessage(*f)) return true;
  return false;
}

void SetSelected(TQorMCFolderObject& folder, bool value) {
  folder.IsSelected = value;
  for (const auto& m : folder.Messages) m->IsSelected = value;
}

bool HasSelectedMessage(const TQorMCFolderObject& folder) {
  for (const auto& m : folder.Messages)
    if (m->IsSelected) return true;
  return false;
}

namespace {

// Short date and long time of this system: "yyyy-mm-dd hh:nn:ss".
std::string DateTimeText(DateTime t) {
  const TLocalDateTime l = ToLocalDateTime(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", l.year, l.month, l.day, l.hour,
                l.minute, l.second);
  return buf;
}

void AddLine(std::string& out, const char* name, const std::string& value) {
  if (value.empty()) return;
  out += name;
  out += '=';
  out += value;
  out += "\r\n";
}

}  // namespace

std::string Describe(const TQorMCMessage& message) {
  std::string out;
  AddLine(out, "Subject", message.Subject);
  AddLine(out, "Sender", message.Sender);
  AddLine(out, "SendDate", DateTimeText(message.SendDate));
  AddLine(out, "MessageID", std::to_string(message.MessageID));
  AddLine(out, "Receiver", message.Receiver);
  AddLine(out, "ReceiveDate", DateTimeText(message.ReceiveDate));
  return out;
}

bool TQorCustomMC::ApplySelection(const TQorMCFolderObject& saved) {
  TQorMCFolderObject* own = Folders.FindByID(saved.FolderID);
  if (own == nullptr) return false;
  own->IsSelected = saved.IsSelected;
  for (const auto& m : saved.Messages) {
    if (TQorMCMessage* target = own->Messages.FindByID(m->MessageID))
      target->IsSelected = m->IsSelected;
    PumpUi();
  }
  return true;
}

}  // namespace solvane
