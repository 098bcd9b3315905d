#include "platform/vcl/ComCtrls.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "platform/vcl/Menus.h"

namespace {
constexpr int kNodeRole = Qt::UserRole + 1;

// Nodes sort by text without regard to case, as the system's tree control does; equal texts
// keep a stable, case-sensitive order.
class NodeItem : public QTreeWidgetItem {
 public:
  bool operator<(const QTreeWidgetItem& other) const override {
    const QString a = text(0), b = other.text(0);
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
  }
};
}  // namespace

// ---- TTreeNode

void TTreeNode::SetText(const AnsiString& text) {
  FText = text;
  FItem->setText(0, vcl::ToQString(text));
}

void TTreeNode::SetImageIndex(int index) {
  FImageIndex = index;
  FOwner->ShowImage(this);
}

bool TTreeNode::Selected() const {
  return FOwner->Tree()->currentItem() == FItem;
}

TTreeNode* TTreeNode::GetNext() const {
  QTreeWidget* tree = FOwner->Tree();
  // Depth first: the first child, else the next sibling of this node or of an ancestor.
  if (FItem->childCount() > 0) return FOwner->Items()->NodeOf(FItem->child(0));
  for (QTreeWidgetItem* at = FItem; at;) {
    QTreeWidgetItem* parent = at->parent();
    int index = parent ? parent->indexOfChild(at) : tree->indexOfTopLevelItem(at);
    int count = parent ? parent->childCount() : tree->topLevelItemCount();
    if (index + 1 < count)
      return FOwner->Items()->NodeOf(parent ? parent->child(index + 1)
                                            : tree->topLevelItem(index + 1));
    at = parent;
  }
  return nullptr;
}

// ---- TTreeNodes

TTreeNodes::~TTreeNodes() = default;

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, const AnsiString& text) {
  return AddObject(sibling, text, nullptr);
}

TTreeNode* TTreeNodes::AddObject(TTreeNode*, const AnsiString& text, void* data) {
  auto* item = new NodeItem;
  std::unique_ptr<TTreeNode> node(new TTreeNode(FOwner, item));
  TTreeNode* raw = node.get();
  item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(raw)));
  raw->FText = text;
  raw->FData = data;
  item->setText(0, vcl::ToQString(text));
  FNodes.emplace(item, std::move(node));
  if (FUpdating > 0)
    FPending.push_back(item);
  else
    FOwner->Tree()->addTopLevelItem(item);  // a sorted tree places it by its text
  return raw;
}

void TTreeNodes::Delete(TTreeNode* node) {
  if (!node) return;
  auto it = FNodes.find(node->FItem);
  if (it == FNodes.end()) return;
  while (node->FItem->childCount() > 0) Delete(NodeOf(node->FItem->child(0)));
  QTreeWidgetItem* item = node->FItem;
  std::unique_ptr<TTreeNode> owned = std::move(it->second);
  FNodes.erase(it);
  delete item;  // may move the selection, which reports OnChange
}

void TTreeNodes::Clear() {
  QTreeWidget* tree = FOwner->Tree();
  const bool hadSelection = tree && tree->currentItem();
  FOwner->FClearing = true;
  for (QTreeWidgetItem* item : FPending) delete item;
  FPending.clear();
  if (tree) tree->clear();
  FNodes.clear();
  FOwner->FClearing = false;
  if (hadSelection && FOwner->OnChange) FOwner->OnChange(FOwner, nullptr);
}

void TTreeNodes::BeginUpdate() {
  if (FUpdating++ == 0 && FOwner->Tree()) FOwner->Tree()->setUpdatesEnabled(false);
}

void TTreeNodes::EndUpdate() {
  if (FUpdating == 0 || --FUpdating > 0) return;
  QTreeWidget* tree = FOwner->Tree();
  if (!tree) return;
  QList<QTreeWidgetItem*> items(FPending.begin(), FPending.end());
  FPending.clear();
  const bool sorted = tree->isSortingEnabled();
  tree->setSortingEnabled(false);
  tree->addTopLevelItems(items);
  if (sorted) tree->setSortingEnabled(true);  // sorts once, by the text
  tree->setUpdatesEnabled(true);
}

TTreeNode* TTreeNodes::GetFirstNode() const {
  QTreeWidget* tree = FOwner->Tree();
  return tree && tree->topLevelItemCount() > 0 ? NodeOf(tree->topLevelItem(0)) : nullptr;
}

TTreeNode* TTreeNodes::NodeOf(QTreeWidgetItem* item) const {
  auto it = FNodes.find(item);
  return it == FNodes.end() ? nullptr : it->second.get();
}

// ---- TTreeView

TTreeView::TTreeView(TComponent* owner) : TWinControl(owner, new QTreeWidget), FItems(this) {
  QTreeWidget* tree = Tree();
  tree->setHeaderHidden(true);
  tree->setColumnCount(1);
  tree->setSelectionMode(QAbstractItemView::SingleSelection);
  tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QObject::connect(tree, &QTreeWidget::currentItemChanged, tree,
                   [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                     if (OnChange && !FClearing) OnChange(this, FItems.NodeOf(current));
                   });
  QObject::connect(tree, &QTreeWidget::itemDoubleClicked, tree, [this](QTreeWidgetItem*, int) {
    if (OnDblClick) OnDblClick(this);
  });
  new vcl::EventHook(tree->viewport(), [this](QEvent* e) {
    if (e->type() == QEvent::MouseButtonPress && FRightClickSelect) {
      auto* me = static_cast<QMouseEvent*>(e);
      if (me->button() == Qt::RightButton) {
        if (QTreeWidgetItem* item = Tree()->itemAt(me->position().toPoint()))
          Tree()->setCurrentItem(item);
      }
    }
    return false;
  });
}

TTreeView::~TTreeView() {
  // Nodes go without reporting selection changes to a half-destroyed owner.
  OnChange = nullptr;
  FItems.Clear();
}

QTreeWidget* TTreeView::Tree() const {
  return static_cast<QTreeWidget*>(Widget());
}

TTreeNode* TTreeView::Selected() const {
  return Tree() ? FItems.NodeOf(Tree()->currentItem()) : nullptr;
}

void TTreeView::SetSelected(TTreeNode* node) {
  if (Tree()) Tree()->setCurrentItem(node ? node->Item() : nullptr);
}

void TTreeView::SetSortType(TSortType sort) {
  const bool byText = sort == stText || sort == stBoth;
  Tree()->setSortingEnabled(byText);
  if (byText) Tree()->sortByColumn(0, Qt::AscendingOrder);
}

void TTreeView::SetReadOnly(bool readOnly) {
  Tree()->setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                                   : QAbstractItemView::EditKeyPressed);
}
void TTreeView::SetShowLines(bool) {}
void TTreeView::SetShowRoot(bool show) {
  Tree()->setRootIsDecorated(show);
}
void TTreeView::SetHideSelection(bool hide) {
  // Keep the selection highlighted when the tree loses focus.
  QPalette p = Tree()->palette();
  if (!hide) {
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
  }
  Tree()->setPalette(p);
}
void TTreeView::SetHotTrack(bool hot) {
  Tree()->setMouseTracking(hot);
  Tree()->setAttribute(Qt::WA_Hover, hot);
}
void TTreeView::SetIndent(int indent) {
  Tree()->setIndentation(indent);
}

void TTreeView::ShowImage(TTreeNode* node) {
  if (FImages) node->Item()->setIcon(0, FImages->Icon(node->ImageIndex()));
}

// ---- TListView

TListItem::TListItem(TListView* owner, QTreeWidgetItem* item) : FOwner(owner), FItem(item) {
  FSubItems.OnChange = [this] { Show(); };
}

void TListItem::SetCaption(const AnsiString& caption) {
  FCaption = caption;
  Show();
}

void TListItem::SetImageIndex(int index) {
  FImageIndex = index;
  if (FOwner->FImages) FItem->setIcon(0, FOwner->FImages->Icon(index));
}

int TListItem::Index() const {
  return FOwner->Tree()->indexOfTopLevelItem(FItem);
}

void TListItem::Show() {
  FItem->setText(0, vcl::ToQString(FCaption));
  for (int i = 0; i < FSubItems.Count(); ++i) FItem->setText(i + 1, vcl::ToQString(FSubItems[i]));
}

TListView::TListView(TComponent* owner) : TWinControl(owner, new QTreeWidget) {
  QTreeWidget* tree = Tree();
  tree->setRootIsDecorated(false);
  tree->setSelectionMode(QAbstractItemView::SingleSelection);
  tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree->header()->setSectionsClickable(true);
  QObject::connect(tree->header(), &QHeaderView::sectionClicked, tree, [this](int section) {
    if (OnColumnClick && section >= 0 && section < ColumnCount())
      OnColumnClick(this, Column(section));
  });
  QObject::connect(tree, &QTreeWidget::currentItemChanged, tree,
                   [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                     if (!OnSelectItem) return;
                     for (auto& item : FItems)
                       if (item->FItem == current) OnSelectItem(this, item.get(), true);
                   });
}

TListView::~TListView() {
  OnSelectItem = nullptr;
  ClearItems();
}

QTreeWidget* TListView::Tree() const {
  return static_cast<QTreeWidget*>(Widget());
}

TListColumn* TListView::AddColumn() {
  FColumns.push_back(std::make_unique<TListColumn>([this] { ShowColumns(); }));
  ShowColumns();
  return FColumns.back().get();
}

void TListView::ShowColumns() {
  Tree()->setColumnCount(std::max(1, ColumnCount()));
  QStringList titles;
  for (auto& c : FColumns) titles << vcl::ToQString(c->Caption());
  Tree()->setHeaderLabels(titles);
  for (int i = 0; i < ColumnCount(); ++i) Tree()->setColumnWidth(i, Column(i)->Width());
}

TListItem* TListView::AddItem() {
  auto* item = new QTreeWidgetItem;
  Tree()->addTopLevelItem(item);
  FItems.push_back(std::unique_ptr<TListItem>(new TListItem(this, item)));
  return FItems.back().get();
}

TListItem* TListView::Item(int i) const {
  // In display order, which a sort may have changed.
  QTreeWidgetItem* at = Tree()->topLevelItem(i);
  for (auto& item : FItems)
    if (item->FItem == at) return item.get();
  return nullptr;
}

void TListView::ClearItems() {
  FItems.clear();
  Tree()->clear();
}

TListItem* TListView::Selected() const {
  QTreeWidgetItem* current = Tree()->currentItem();
  for (auto& item : FItems)
    if (item->FItem == current) return item.get();
  return nullptr;
}

// ---- TStatusBar

TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner, new QStatusBar) {
  FLabel = new QLabel;
  static_cast<QStatusBar*>(Widget())->addWidget(FLabel, 1);
  static_cast<QStatusBar*>(Widget())->setSizeGripEnabled(false);
  Widget()->resize(Widget()->width(), 19);
}

void TStatusBar::SetSimpleText(const AnsiString& text) {
  FSimpleText = text;
  FLabel->setText(vcl::ToQString(text));
  FLabel->setAccessibleName(FLabel->text());
  Widget()->setAccessibleName(FLabel->text());
}

// ---- TPageControl and TTabSheet

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner, new QTabWidget) {
  QObject::connect(Tabs(), &QTabWidget::currentChanged, Tabs(), [this](int) {
    if (OnChange) OnChange(this);
  });
}

QTabWidget* TPageControl::Tabs() const {
  return static_cast<QTabWidget*>(Widget());
}

void TPageControl::AddPage(TTabSheet* page) {
  FPages.push_back(page);
  Tabs()->addTab(page->Widget(), vcl::ToQString(page->Caption()));
}

void TPageControl::RemovePage(TTabSheet* page) {
  FPages.erase(std::remove(FPages.begin(), FPages.end(), page), FPages.end());
  if (page->Widget()) Tabs()->removeTab(Tabs()->indexOf(page->Widget()));
}

TTabSheet* TPageControl::ActivePage() const {
  for (TTabSheet* p : FPages)
    if (p->Widget() == Tabs()->currentWidget()) return p;
  return nullptr;
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->Widget()) Tabs()->setCurrentWidget(page->Widget());
}

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner, new QWidget) {}

TTabSheet::~TTabSheet() {
  if (FPageControl && !FPageControl->Destroying()) FPageControl->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* control) {
  if (FPageControl) FPageControl->RemovePage(this);
  FPageControl = control;
  if (FPageControl) FPageControl->AddPage(this);
}

void TTabSheet::SetTabVisible(bool visible) {
  FTabVisible = visible;
  if (FPageControl)
    FPageControl->Tabs()->setTabVisible(FPageControl->Tabs()->indexOf(Widget()), visible);
}

void TTabSheet::ApplyCaption() {
  TControl::ApplyCaption();
  if (FPageControl)
    FPageControl->Tabs()->setTabText(FPageControl->Tabs()->indexOf(Widget()),
                                     vcl::ToQString(Caption()));
}

// ---- TTabControl

TTabControl::TTabControl(TComponent* owner) : TWinControl(owner, new QTabBar) {
  FTabs.OnChange = [this] {
    while (TabBar()->count() > 0) TabBar()->removeTab(0);
    for (const auto& t : FTabs.Items()) TabBar()->addTab(vcl::ToQString(t));
  };
  QObject::connect(TabBar(), &QTabBar::currentChanged, TabBar(), [this](int) {
    if (OnChange) OnChange(this);
  });
}
QTabBar* TTabControl::TabBar() const {
  return static_cast<QTabBar*>(Widget());
}
int TTabControl::TabIndex() const {
  return TabBar()->currentIndex();
}
void TTabControl::SetTabIndex(int index) {
  TabBar()->setCurrentIndex(index);
}

// ---- Tool bars

TToolButton::TToolButton(TComponent* owner) : TGraphicControl(owner, new QToolButton) {
  Button()->setToolButtonStyle(Qt::ToolButtonIconOnly);
  QObject::connect(Button(), &QToolButton::clicked, Button(), [this] { Click(); });
}

QToolButton* TToolButton::Button() const {
  return static_cast<QToolButton*>(Widget());
}

void TToolButton::Click() {
  if (OnClick) OnClick(this);
}

void TToolButton::SetImageIndex(int index) {
  FImageIndex = index;
  auto* bar = dynamic_cast<TToolBar*>(Parent());
  if (bar && bar->Images()) Button()->setIcon(bar->Images()->Icon(index));
}

void TToolButton::SetStyle(TToolButtonStyle style) {
  FStyle = style;
  Button()->setCheckable(style == tbsCheck);
  if (style == tbsDropDown) Button()->setPopupMode(QToolButton::MenuButtonPopup);
}

bool TToolButton::Down() const {
  return Button()->isChecked();
}

void TToolButton::SetDown(bool down) {
  Button()->setCheckable(true);
  Button()->setChecked(down);
}

void TToolButton::SetDropdownMenu(TPopupMenu* menu) {
  Button()->setMenu(menu ? menu->Menu() : nullptr);
  Button()->setPopupMode(QToolButton::InstantPopup);
}

void TToolButton::ApplyCaption() {
  TControl::ApplyCaption();
  Button()->setText(vcl::ToQString(Caption()));
}

TToolBar::TToolBar(TComponent* owner) : TToolWindow(owner, new QToolBar) {
  Bar()->setMovable(false);
  Bar()->setFloatable(false);
  Bar()->setIconSize(QSize(16, 16));  // the framework's tool bars show 16-pixel images
  Bar()->setContentsMargins(0, 0, 0, 0);
  Bar()->layout()->setSpacing(0);
  Bar()->setStyleSheet(QStringLiteral("QToolButton { padding: 1px; margin: 0px; }"));
  Widget()->resize(Widget()->width(), 26);
}

QToolBar* TToolBar::Bar() const {
  return static_cast<QToolBar*>(Widget());
}

void TToolBar::SetImages(TImageList* images) {
  FImages = images;
  for (TToolButton* b : FButtons) b->SetImageIndex(b->ImageIndex());
}

void TToolBar::SetFlat(bool) {}

void TToolBar::ApplyCaption() {
  TControl::ApplyCaption();
  Bar()->setWindowTitle(vcl::ToQString(Caption()));
}

void TToolBar::InsertControl(TControl* control) {
  if (auto* button = dynamic_cast<TToolButton*>(control)) {
    FButtons.push_back(button);
    Bar()->addWidget(button->Widget());
    button->SetImageIndex(button->ImageIndex());
    return;
  }
  TToolWindow::InsertControl(control);
}

void TToolBar::RemoveControl(TControl* control) {
  FButtons.erase(std::remove(FButtons.begin(), FButtons.end(), control), FButtons.end());
  TToolWindow::RemoveControl(control);
}

TCoolBar::TCoolBar(TComponent* owner) : TToolWindow(owner, new QWidget) {}
