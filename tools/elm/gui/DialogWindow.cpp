#include "DialogWindow.h"

#include "DialogPresenter.h"
#include "IconLookup.h"

#include "CATDlgCheckButton.h"
#include "CATDlgCombo.h"
#include "CATDlgDialog.h"
#include "CATDlgEditor.h"
#include "CATDlgFrame.h"
#include "CATDlgLabel.h"
#include "CATDlgMultiList.h"
#include "CATDlgPushButton.h"
#include "CATDlgRadioButton.h"
#include "CATDlgSeparator.h"
#include "ELMHostDriver.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace elmgui {

namespace {

using Step = elmhost::ScriptStep;

QString Text(const CATUnicodeString& s) { return QString::fromStdString(s.Utf8()); }

CATUnicodeString Model(const QString& s) { return CATUnicodeString(s.toStdString().c_str()); }

/// The title a standard button shows when the dialog gives none.
QString ButtonTitle(const CATDlgDialog& dialog, CATULong button) {
  CATUnicodeString title;
  switch (button) {
    case CATDlgWndOK: title = dialog.GetOKTitle(); break;
    case CATDlgWndCANCEL: title = dialog.GetCANCELTitle(); break;
    case CATDlgWndAPPLY: title = dialog.GetAPPLYTitle(); break;
    case CATDlgWndPREVIEW: title = dialog.GetPREVIEWTitle(); break;
    default: break;
  }
  return title.IsNull() ? QString::fromUtf8(elmhost::StandardButtonName(button)) : Text(title);
}

/// Width of n average characters of w's font, as a visible text width asks.
int CharactersWide(const QWidget* w, int n) { return w->fontMetrics().averageCharWidth() * n; }

/// Model widgets that are drawn inside their dialog; message boxes made
/// under a dialog are windows of their own.
std::vector<CATDialog*> DrawnChildren(const CATDialog* parent) {
  std::vector<CATDialog*> out;
  for (CATDialog* child : parent->GetChildWidgets())
    if (!dynamic_cast<CATDlgWindow*>(child)) out.push_back(child);
  return out;
}

std::vector<int> SelectedLines(const CATDlgMultiList& list) {
  std::vector<int> lines(static_cast<std::size_t>(list.GetSelectCount()));
  list.GetSelect(lines.data(), static_cast<int>(lines.size()));
  return lines;
}

void SyncCombo(const CATDlgCombo& model, QComboBox& combo) {
  QStringList lines;
  for (int i = 0; i < model.GetLineCount(); ++i) {
    CATUnicodeString line;
    model.GetLine(line, i);
    lines << Text(line);
  }
  QStringList shown;
  for (int i = 0; i < combo.count(); ++i) shown << combo.itemText(i);
  if (shown != lines) {
    combo.clear();
    combo.addItems(lines);
  }
  combo.setCurrentIndex(model.GetSelect());
  if (model.GetVisibleTextWidth() > 0) {
    combo.setMinimumContentsLength(model.GetVisibleTextWidth());
    combo.setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  }
  if (model.GetVisibleTextHeight() > 0) combo.setMaxVisibleItems(model.GetVisibleTextHeight());
}

void SyncList(const CATDlgMultiList& model, QTreeWidget& tree) {
  const int columns = model.GetColumnCount();
  QStringList titles;
  for (int c = 0; c < columns; ++c) titles << Text(model.GetColumnTitle(c));
  if (tree.columnCount() != std::max(columns, 1)) tree.setColumnCount(std::max(columns, 1));
  tree.setHeaderLabels(titles);
  for (int c = 0; c < columns; ++c) tree.setColumnHidden(c, model.GetColumnVisibility(c) != CATDlgShow);

  bool same = tree.topLevelItemCount() == model.GetLineCount();
  for (int l = 0; same && l < model.GetLineCount(); ++l) {
    for (int c = 0; same && c < columns; ++c) {
      CATUnicodeString cell;
      model.GetColumnItem(c, cell, l);
      same = tree.topLevelItem(l)->text(c) == Text(cell);
    }
  }
  if (!same) {
    tree.clear();
    for (int l = 0; l < model.GetLineCount(); ++l) {
      QStringList cells;
      for (int c = 0; c < columns; ++c) {
        CATUnicodeString cell;
        model.GetColumnItem(c, cell, l);
        cells << Text(cell);
      }
      tree.addTopLevelItem(new QTreeWidgetItem(cells));
    }
    for (int c = 0; c < columns; ++c) tree.resizeColumnToContents(c);
  }
  std::vector<int> selected = SelectedLines(model);
  for (int l = 0; l < tree.topLevelItemCount(); ++l)
    tree.topLevelItem(l)->setSelected(std::find(selected.begin(), selected.end(), l) != selected.end());
  if (model.GetVisibleTextWidth() > 0) tree.setMinimumWidth(CharactersWide(&tree, model.GetVisibleTextWidth()));
  if (model.GetVisibleLineCount() > 0) {
    int rows = model.GetVisibleLineCount() + 1;  // and the header
    tree.setMinimumHeight(rows * tree.fontMetrics().height() + 2 * tree.frameWidth() + 8);
  }
}

void SyncEditor(const CATDlgEditor& model, QWidget& widget) {
  const QString text = Text(model.GetText());
  int width = model.GetVisibleTextWidth();
  if (auto* line = qobject_cast<QLineEdit*>(&widget)) {
    if (line->text() != text) line->setText(text);
    line->setReadOnly(model.IsReadOnly());
    if (width > 0) line->setMinimumWidth(CharactersWide(line, width) + 12);
  } else if (auto* area = qobject_cast<QPlainTextEdit*>(&widget)) {
    if (area->toPlainText() != text) area->setPlainText(text);
    area->setReadOnly(model.IsReadOnly());
    if (width > 0) area->setMinimumWidth(CharactersWide(area, width) + 2 * area->frameWidth() + 8);
    if (model.GetVisibleTextHeight() > 0)
      area->setMinimumHeight(model.GetVisibleTextHeight() * area->fontMetrics().lineSpacing() +
                             2 * area->frameWidth() + 8);
  }
  if (model.GetColor() >= 0) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Base, QColor::fromRgb(static_cast<QRgb>(model.GetColor())));
    widget.setPalette(palette);
  }
}

/// Commits what a person typed into a multi-line editor when it loses the
/// focus, as a one-line editor commits on Return or when left.
class FocusOutFilter : public QObject {
public:
  FocusOutFilter(QObject* parent, std::function<void()> commit) : QObject(parent), m_commit(std::move(commit)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::FocusOut) m_commit();
    return false;
  }

private:
  std::function<void()> m_commit;
};

}  // namespace

Qt::Alignment AlignmentFor(CATDlgJustification j) {
  const bool left = j & CATGRID_LEFT, right = j & CATGRID_RIGHT;
  const bool top = j & CATGRID_TOP, bottom = j & CATGRID_BOTTOM;
  Qt::Alignment a;
  if (!(left && right) || (j & CATGRID_CST_WIDTH))
    a |= left && !right ? Qt::AlignLeft : right && !left ? Qt::AlignRight : Qt::AlignHCenter;
  if (!(top && bottom) || (j & CATGRID_CST_HEIGHT))
    a |= top && !bottom ? Qt::AlignTop : bottom && !top ? Qt::AlignBottom : Qt::AlignVCenter;
  return a;
}

bool DialogWindow::Shape::operator==(const Shape& o) const {
  return widget == o.widget && kind == o.kind && name == o.name && parent == o.parent && placed == o.placed &&
         grid.Row == o.grid.Row && grid.Column == o.grid.Column && grid.W == o.grid.W && grid.H == o.grid.H &&
         grid.Justification == o.grid.Justification && style == o.style && rows == o.rows && columns == o.columns;
}

DialogWindow::DialogWindow(CATDlgDialog* dialog, DialogPresenter& presenter, QWidget* parent)
    : QDialog(parent), m_dialog(dialog), m_serial(dialog->GetSerial()), m_name(dialog->GetName().Str()),
      m_presenter(presenter) {
  setObjectName(QString::fromStdString(m_name));
  setModal(false);
  m_layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  for (CATULong button : m_dialog->GetStandardButtons()) {
    auto* push = new QPushButton(this);
    push->setObjectName(QString::fromUtf8(elmhost::StandardButtonName(button)));
    push->setAutoDefault(false);
    connect(push, &QPushButton::clicked, this, [this, button] {
      Step step;
      step.action = Step::Action::Button;
      step.dialog = m_name;
      step.button = button;
      m_presenter.Act(step, [this, button](const elmhost::ActionTaken& taken) {
        return elmhost::PressButton(m_dialog, button, taken);
      });
    });
    row->addWidget(push);
    m_buttons.emplace_back(button, push);
  }
  Build();
  if (!m_buttons.empty()) m_layout->addLayout(row);
  else delete row;
  Refresh();
  adjustSize();
}

DialogWindow::~DialogWindow() = default;

std::vector<DialogWindow::Shape> DialogWindow::CurrentShape() const {
  std::vector<Shape> out;
  std::function<void(const CATDialog*)> walk = [&](const CATDialog* w) {
    out.push_back({w, w->GetWidgetClass(), w->GetName().Str(), w->GetParentDialog(), w->HasGridConstraints(),
                   w->GetGridConstraints(), w->GetStyle(), w->GetResizableRows(), w->GetResizableColumns()});
    for (const CATDialog* child : DrawnChildren(w)) walk(child);
  };
  walk(m_dialog);
  return out;
}

void DialogWindow::Build() {
  m_shape = CurrentShape();
  m_shown.clear();
  if (m_body) {
    // Build may run inside a signal of one of the old widgets.
    m_body->hide();
    m_body->deleteLater();
  }
  m_body = new QWidget(this);
  m_body->setObjectName("body");
  Lay(m_dialog, m_body);
  m_layout->insertWidget(0, m_body, 1);
}

void DialogWindow::Lay(CATDialog* container, QWidget* holder) {
  auto* grid = new QGridLayout(holder);
  if (container != m_dialog) grid->setContentsMargins(6, 6, 6, 6);
  int lastRow = -1, lastColumn = -1;
  std::vector<CATDialog*> unplaced;
  for (CATDialog* child : DrawnChildren(container)) {
    QWidget* widget = Make(child, holder);
    m_shown.push_back({child, widget});
    if (!child->HasGridConstraints()) {
      unplaced.push_back(child);
      continue;
    }
    const CATDlgGridConstraints& g = child->GetGridConstraints();
    grid->addWidget(widget, g.Row, g.Column, std::max(g.H, 1), std::max(g.W, 1), AlignmentFor(g.Justification));
    lastRow = std::max(lastRow, g.Row + std::max(g.H, 1) - 1);
    lastColumn = std::max(lastColumn, g.Column + std::max(g.W, 1) - 1);
  }
  // A widget never placed has no cell: it goes below the grid, one per row.
  for (CATDialog* child : unplaced) grid->addWidget(WidgetFor(child), ++lastRow, 0, 1, std::max(lastColumn + 1, 1));
  // Resizable rows and columns take the growth of the container; without
  // any, the growth goes past the last row or column and nothing stretches.
  for (int r : container->GetResizableRows()) grid->setRowStretch(r, 1);
  for (int c : container->GetResizableColumns()) grid->setColumnStretch(c, 1);
  if (container->GetResizableRows().empty())
    grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), lastRow + 1, 0);
  if (container->GetResizableColumns().empty())
    grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, lastColumn + 1);
}

QWidget* DialogWindow::Make(CATDialog* model, QWidget* parent) {
  QWidget* widget = nullptr;
  const CATDlgStyle style = model->GetStyle();
  if (dynamic_cast<CATDlgFrame*>(model)) {
    auto* box = new QGroupBox(parent);
    box->setFlat(style & CATDlgFraNoFrame);
    Lay(model, box);
    widget = box;
  } else if (dynamic_cast<CATDlgLabel*>(model)) {
    widget = new QLabel(parent);
  } else if (dynamic_cast<CATDlgPushButton*>(model)) {
    auto* push = new QPushButton(parent);
    push->setAutoDefault(false);
    widget = push;
  } else if (dynamic_cast<CATDlgCheckButton*>(model)) {
    widget = new QCheckBox(parent);
  } else if (dynamic_cast<CATDlgRadioButton*>(model)) {
    auto* radio = new QRadioButton(parent);
    // The model keeps its groups: Qt must not uncheck on its own.
    radio->setAutoExclusive(false);
    widget = radio;
  } else if (dynamic_cast<CATDlgCombo*>(model)) {
    widget = new QComboBox(parent);
  } else if (auto* editor = dynamic_cast<CATDlgEditor*>(model)) {
    if (editor->IsMultiline()) {
      auto* area = new QPlainTextEdit(parent);
      area->setTabChangesFocus(true);
      widget = area;
    } else {
      auto* line = new QLineEdit(parent);
      if (editor->IsInteger()) line->setValidator(new QIntValidator(line));
      widget = line;
    }
  } else if (dynamic_cast<CATDlgMultiList*>(model)) {
    auto* tree = new QTreeWidget(parent);
    tree->setRootIsDecorated(false);
    tree->setUniformRowHeights(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setAllColumnsShowFocus(true);
    widget = tree;
  } else if (dynamic_cast<CATDlgSeparator*>(model)) {
    auto* line = new QFrame(parent);
    line->setFrameShape(style & CATDlgSepVertical ? QFrame::VLine : QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    widget = line;
  } else {
    // A kind of widget this presenter does not know: its caption at least.
    widget = new QLabel(parent);
  }
  widget->setObjectName(QString::fromStdString(model->GetName().Str()));
  Connect(model, widget);
  return widget;
}

void DialogWindow::Connect(CATDialog* model, QWidget* widget) {
  const std::string name = model->GetName().Str();
  auto act = [this, name](Step::Action kind, auto call, auto... fill) {
    Step step;
    step.action = kind;
    step.dialog = m_name;
    step.widget = name;
    (fill(step), ...);
    m_presenter.Act(step, call);
  };
  // Editors commit what a person typed when they are left.
  auto type = [this, name, act](const QString& text) {
    act(Step::Action::Type,
        [this, name, text](const elmhost::ActionTaken& t) { return elmhost::Type(m_dialog, name, Model(text), t); },
        [text](Step& s) { s.text = text.toStdString(); });
  };
  if (auto* push = qobject_cast<QPushButton*>(widget)) {
    connect(push, &QPushButton::clicked, this, [this, name, act] {
      act(Step::Action::Press, [this, name](const elmhost::ActionTaken& t) { return elmhost::Press(m_dialog, name, t); });
    });
  } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
    connect(check, &QCheckBox::clicked, this, [this, name, act](bool on) {
      act(on ? Step::Action::Check : Step::Action::Uncheck,
          [this, name, on](const elmhost::ActionTaken& t) { return elmhost::SetChecked(m_dialog, name, on, t); });
    });
  } else if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
    auto* button = dynamic_cast<CATDlgRadioButton*>(model);
    connect(radio, &QRadioButton::clicked, this, [this, name, act, button] {
      // A person cannot unchoose a radio button: clicking the chosen one
      // again changes nothing (Refresh puts its check back).
      if (button->GetState() == CATDlgCheck) {
        Refresh();
        return;
      }
      act(Step::Action::Choose, [this, name](const elmhost::ActionTaken& t) { return elmhost::Choose(m_dialog, name, t); });
    });
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    connect(combo, &QComboBox::activated, this, [this, name, act](int line) {
      act(Step::Action::Pick,
          [this, name, line](const elmhost::ActionTaken& t) { return elmhost::Pick(m_dialog, name, line, t); },
          [line](Step& s) { s.line = line; });
    });
  } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    auto* editor = dynamic_cast<CATDlgEditor*>(model);
    connect(line, &QLineEdit::editingFinished, this, [type, editor, line] {
      if (line->text() != Text(editor->GetText())) type(line->text());
    });
  } else if (auto* area = qobject_cast<QPlainTextEdit*>(widget)) {
    auto* editor = dynamic_cast<CATDlgEditor*>(model);
    area->installEventFilter(new FocusOutFilter(area, [type, editor, area] {
      if (!area->isReadOnly() && area->toPlainText() != Text(editor->GetText())) type(area->toPlainText());
    }));
  } else if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
    connect(tree, &QTreeWidget::itemSelectionChanged, this, [this, name, act, tree] {
      std::vector<int> lines;
      for (QTreeWidgetItem* item : tree->selectedItems()) lines.push_back(tree->indexOfTopLevelItem(item));
      std::sort(lines.begin(), lines.end());
      act(Step::Action::Select,
          [this, name, lines](const elmhost::ActionTaken& t) { return elmhost::Select(m_dialog, name, lines, t); },
          [lines](Step& s) { s.lines = lines; });
    });
  }
}

void DialogWindow::Refresh() {
  if (m_dismissing) return;
  if (!(CurrentShape() == m_shape)) Build();
  setWindowTitle(m_dialog->GetTitle().IsNull() ? QString::fromStdString(m_name) : Text(m_dialog->GetTitle()));
  setWhatsThis(Text(m_dialog->GetLongHelp()));
  m_body->setEnabled(m_dialog->GetSensitivity() == CATDlgEnable);
  for (const Shown& s : m_shown) Update(s.model, s.widget);
  UpdateButtons();
}

void DialogWindow::Update(CATDialog* model, QWidget* widget) {
  // Signals of the widgets are a person's actions; setting them from the
  // model must not look like one.
  const QSignalBlocker quiet(widget);
  widget->setHidden(model->GetVisibility() != CATDlgShow);
  widget->setEnabled(model->GetSensitivity() == CATDlgEnable);
  const CATUnicodeString& shortHelp = model->GetShortHelp();
  widget->setToolTip(Text(shortHelp.IsNull() ? model->GetHelp() : shortHelp));
  widget->setStatusTip(Text(model->GetHelp()));
  widget->setWhatsThis(Text(model->GetLongHelp()));
  const QString title = Text(model->GetTitle());
  const CATString& icon = model->GetIconName();

  if (auto* box = qobject_cast<QGroupBox*>(widget)) {
    box->setTitle(model->GetStyle() & CATDlgFraNoTitle ? QString() : title);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    if (!icon.IsNull())
      label->setPixmap(IconPixmap(icon.Str()));
    else
      label->setText(title);
  } else if (auto* push = qobject_cast<QPushButton*>(widget)) {
    push->setText(title);
    if (!icon.IsNull()) push->setIcon(QIcon(IconPixmap(icon.Str())));
  } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
    check->setText(title);
    check->setChecked(dynamic_cast<CATDlgCheckButton*>(model)->GetState() == CATDlgCheck);
  } else if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
    radio->setText(title);
    radio->setChecked(dynamic_cast<CATDlgRadioButton*>(model)->GetState() == CATDlgCheck);
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    SyncCombo(*dynamic_cast<CATDlgCombo*>(model), *combo);
  } else if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
    SyncList(*dynamic_cast<CATDlgMultiList*>(model), *tree);
  } else if (auto* editor = dynamic_cast<CATDlgEditor*>(model)) {
    SyncEditor(*editor, *widget);
  }
}

void DialogWindow::UpdateButtons() {
  const CATULong preferred = m_dialog->GetDefaultButton();
  for (auto& [button, push] : m_buttons) {
    push->setText(ButtonTitle(*m_dialog, button));
    push->setEnabled(m_dialog->GetButtonSensitivity(button) == CATDlgEnable &&
                     m_dialog->GetSensitivity() == CATDlgEnable);
    push->setDefault(button == preferred);
  }
}

void DialogWindow::Dismiss() {
  m_dismissing = true;
  hide();
}

QWidget* DialogWindow::WidgetFor(const CATDialog* widget) const {
  for (const Shown& s : m_shown)
    if (s.model == widget) return s.widget;
  return nullptr;
}

QPushButton* DialogWindow::StandardButton(CATULong button) const {
  for (const auto& [b, push] : m_buttons)
    if (b == button) return push;
  return nullptr;
}

void DialogWindow::closeEvent(QCloseEvent* event) {
  if (m_dismissing) {
    event->accept();
    return;
  }
  // Closing from the frame is the model's to decide: the window goes when
  // the dialog is hidden or destroyed.
  event->ignore();
  Step step;
  step.action = Step::Action::Close;
  step.dialog = m_name;
  m_presenter.Act(step, [this](const elmhost::ActionTaken& t) { return elmhost::CloseWindow(m_dialog, false, t); });
}

void DialogWindow::reject() { close(); }

}  // namespace elmgui
