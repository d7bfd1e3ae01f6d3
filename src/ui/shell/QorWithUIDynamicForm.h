#pragma once
// Screens shown inside the main window instead of as windows of their own:
// each screen class is created once, kept in TQorDynamicFormList and, when
// chosen again, brought to the front of its panel with its state intact.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <typeindex>
#include <typeinfo>
#include <vector>

namespace solvane {

class TUiShell;

// A screen that lives inside a panel of the main window.
class TQorEmbeddedScreen : public QWidget {
  Q_OBJECT
 public:
  explicit TQorEmbeddedScreen(TUiShell& shell, QWidget* parent = nullptr);
  // The screen's opening action (refresh from the core); nothing by default.
  virtual void Opening() {}
  TUiShell& Shell() { return m_shell; }

 private:
  TUiShell& m_shell;
};

// One embedded screen: created once, owned by its record.
struct TQorDynamicForm {
  QPointer<QWidget> Screen;
  std::type_index Class = typeid(void);
  bool Shown = false;
  bool Transient = false;
  QString Name;
};

class TQorDynamicFormList {
 public:
  explicit TQorDynamicFormList(TUiShell& shell) : m_shell(shell) {}
  ~TQorDynamicFormList();
  TQorDynamicFormList(const TQorDynamicFormList&) = delete;
  TQorDynamicFormList& operator=(const TQorDynamicFormList&) = delete;

  // Shows the screen of class T inside panel, creating it on first use.
  // A screen already marked shown is left as it is. Otherwise transient
  // screens are freed, every shown mark cleared and this screen placed in
  // the panel, filling it, in front of the panel's other screens. A non-empty
  // name is given to the record (for EmbedByName).
  template <class T>
  T* Embed(QWidget* panel, bool transient, const QString& name = {}) {
    TQorDynamicForm* record = Find(typeid(T));
    if (!record) record = Add(new T(m_shell), typeid(T));
    if (!name.isEmpty()) record->Name = name;
    Place(*record, panel, transient);
    return static_cast<T*>(record->Screen.data());
  }
  // As Embed for the record registered under name, or for the class
  // registered under it (created on first use); nothing (null) when there is
  // neither.
  QWidget* EmbedByName(const QString& name, QWidget* panel, bool transient);
  // Lets EmbedByName find screen class T under name before it was ever shown.
  template <class T>
  void Register(const QString& name) {
    m_classes.push_back({name, typeid(T), [](TUiShell& shell) -> QWidget* { return new T(shell); }});
  }

  // The screen of class T created so far; null when none.
  template <class T>
  T* Screen() const {
    const TQorDynamicForm* record = Find(typeid(T));
    return record ? static_cast<T*>(record->Screen.data()) : nullptr;
  }
  // Position among panel's child widgets of the first of exactly class T;
  // -1 when there is none.
  template <class T>
  static int IndexOfScreen(const QWidget* panel) {
    return IndexOfScreen(typeid(T), panel);
  }
  static int IndexOfScreen(const std::type_info& type, const QWidget* panel);

  int Count() const { return static_cast<int>(m_records.size()); }
  const TQorDynamicForm& Record(int index) const { return *m_records.at(index); }
  // Frees every screen and forgets the records.
  void Clear();

 private:
  TQorDynamicForm* Find(const std::type_info& type) const;
  TQorDynamicForm* Add(QWidget* screen, const std::type_info& type);
  void Place(TQorDynamicForm& record, QWidget* panel, bool transient);
  void RemoveTransientScreens(const TQorDynamicForm& keep);

  TUiShell& m_shell;
  std::vector<std::unique_ptr<TQorDynamicForm>> m_records;
  struct TNamedClass {
    QString Name;
    std::type_index Class;
    std::function<QWidget*(TUiShell&)> Make;
  };
  std::vector<TNamedClass> m_classes;
};

}  // namespace solvane
