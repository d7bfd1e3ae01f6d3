#include "ui/shell/QorWithUIDynamicForm.h"

#include <QStackedLayout>
#include <algorithm>

namespace solvane {

namespace {

// The panel's stack of screens; made on first use. A panel that already has
// another layout gets none and screens are then sized to it by hand.
QStackedLayout* StackOf(QWidget* panel) {
  if (auto* stack = qobject_cast<QStackedLayout*>(panel->layout())) return stack;
  if (panel->layout()) return nullptr;
  auto* stack = new QStackedLayout(panel);
  stack->setContentsMargins(0, 0, 0, 0);
  return stack;
}

}  // namespace

TQorEmbeddedScreen::TQorEmbeddedScreen(TUiShell& shell, QWidget* parent)
    : QWidget(parent), m_shell(shell) {}

TQorDynamicFormList::~TQorDynamicFormList() { Clear(); }

void TQorDynamicFormList::Clear() {
  for (auto& record : m_records) delete record->Screen.data();
  m_records.clear();
}

TQorDynamicForm* TQorDynamicFormList::Find(const std::type_info& type) const {
  for (const auto& record : m_records)
    if (record->Screen && record->Class == std::type_index(type)) return record.get();
  return nullptr;
}

TQorDynamicForm* TQorDynamicFormList::Add(QWidget* screen, const std::type_info& type) {
  auto record = std::make_unique<TQorDynamicForm>();
  record->Screen = screen;
  record->Class = std::type_index(type);
  m_records.push_back(std::move(record));
  return m_records.back().get();
}

QWidget* TQorDynamicFormList::EmbedByName(const QString& name, QWidget* panel, bool transient) {
  if (name.isEmpty()) return nullptr;
  for (auto& record : m_records) {
    if (record->Screen && record->Name == name) {
      Place(*record, panel, transient);
      return record->Screen.data();
    }
  }
  for (const TNamedClass& named : m_classes) {
    if (named.Name != name) continue;
    TQorDynamicForm* record = nullptr;
    for (auto& r : m_records)
      if (r->Screen && r->Class == named.Class) record = r.get();
    if (!record) {
      record = Add(named.Make(m_shell), typeid(void));
      record->Class = named.Class;
    }
    record->Name = name;
    Place(*record, panel, transient);
    return record->Screen.data();
  }
  return nullptr;
}

void TQorDynamicFormList::RemoveTransientScreens(const TQorDynamicForm& keep) {
  auto doomed = [&](const std::unique_ptr<TQorDynamicForm>& r) {
    return r.get() != &keep && (!r->Screen || r->Transient);
  };
  for (auto& record : m_records) {
    if (!doomed(record) || !record->Screen) continue;
    // Freed once the current event is done: the screen may be the one
    // whose link asked for the new screen.
    record->Screen->hide();
    record->Screen->deleteLater();
  }
  std::erase_if(m_records, doomed);
}

void TQorDynamicFormList::Place(TQorDynamicForm& record, QWidget* panel, bool transient) {
  if (record.Shown || !panel) return;
  RemoveTransientScreens(record);
  for (auto& r : m_records) r->Shown = false;
  record.Shown = true;
  record.Transient = transient;

  QWidget* screen = record.Screen.data();
  if (QStackedLayout* stack = StackOf(panel)) {
    if (stack->indexOf(screen) < 0) stack->addWidget(screen);
    stack->setCurrentWidget(screen);
  } else {
    screen->setParent(panel);
    screen->setGeometry(panel->rect());
  }
  screen->show();
  screen->raise();
}

int TQorDynamicFormList::IndexOfScreen(const std::type_info& type, const QWidget* panel) {
  if (!panel) return -1;
  const QObjectList& children = panel->children();
  int index = 0;
  for (QObject* child : children) {
    if (!child->isWidgetType()) continue;
    if (std::type_index(typeid(*child)) == std::type_index(type)) return index;
    ++index;
  }
  return -1;
}

}  // namespace solvane
