// Common controls: tree view, list view, status bar, page and tab controls, tool bars.
#pragma once

#include <map>
#include <memory>

#include "platform/vcl/Controls.h"
#include "platform/vcl/ImgList.h"

class QTreeWidget;
class QTreeWidgetItem;
class QStatusBar;
class QTabWidget;
class QTabBar;
class QToolBar;
class QToolButton;
class QLabel;
class TTreeView;
class TPopupMenu;

// ---- Tree view

class TTreeNode {
 public:
  const AnsiString& Text() const { return FText; }
  void SetText(const AnsiString& text);
  void* Data() const { return FData; }
  void SetData(void* data) { FData = data; }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int index);
  int SelectedIndex() const { return FSelectedIndex; }
  void SetSelectedIndex(int index) { FSelectedIndex = index; }
  bool Selected() const;
  // The next node in the tree's order (depth first), or null after the last.
  TTreeNode* GetNext() const;
  TTreeView* TreeView() const { return FOwner; }
  QTreeWidgetItem* Item() const { return FItem; }

 private:
  friend class TTreeNodes;
  TTreeNode(TTreeView* owner, QTreeWidgetItem* item) : FOwner(owner), FItem(item) {}
  TTreeView* FOwner;
  QTreeWidgetItem* FItem;
  AnsiString FText;
  void* FData = nullptr;
  int FImageIndex = -1;
  int FSelectedIndex = -1;
};

class TTreeNodes {
 public:
  explicit TTreeNodes(TTreeView* owner) : FOwner(owner) {}
  ~TTreeNodes();
  // A new top-level node (the sibling only names the level, as in the framework).
  TTreeNode* Add(TTreeNode* sibling, const AnsiString& text);
  TTreeNode* AddObject(TTreeNode* sibling, const AnsiString& text, void* data);
  void Delete(TTreeNode* node);
  // Deletes every node at once; the selection changes once, to none.
  void Clear();
  // Nodes added between these enter the tree together at EndUpdate, placed by one sort.
  void BeginUpdate();
  void EndUpdate();
  int Count() const { return static_cast<int>(FNodes.size()); }
  TTreeNode* GetFirstNode() const;
  TTreeNode* NodeOf(QTreeWidgetItem* item) const;

 private:
  TTreeView* FOwner;
  std::map<QTreeWidgetItem*, std::unique_ptr<TTreeNode>> FNodes;
  std::vector<QTreeWidgetItem*> FPending;
  int FUpdating = 0;
};

enum TSortType { stNone, stData, stText, stBoth };
using TTVChangedEvent = std::function<void(TObject* sender, TTreeNode* node)>;

class TTreeView : public TWinControl {
 public:
  explicit TTreeView(TComponent* owner);
  ~TTreeView() override;
  QTreeWidget* Tree() const;
  TTreeNodes* Items() { return &FItems; }
  TTreeNode* Selected() const;
  void SetSelected(TTreeNode* node);
  void SetSortType(TSortType sort);
  void SetImages(TImageList* images) { FImages = images; }
  TImageList* Images() const { return FImages; }
  void SetReadOnly(bool readOnly);
  void SetShowLines(bool show);
  void SetShowRoot(bool show);
  void SetHideSelection(bool hide);
  void SetHotTrack(bool hot);
  void SetRightClickSelect(bool select) { FRightClickSelect = select; }
  void SetIndent(int indent);
  TTVChangedEvent OnChange;

 private:
  friend class TTreeNode;
  friend class TTreeNodes;
  void ShowImage(TTreeNode* node);
  TTreeNodes FItems;
  TImageList* FImages = nullptr;
  bool FRightClickSelect = false;
  bool FClearing = false;
};

// ---- List view

class TListColumn {
 public:
  explicit TListColumn(std::function<void()> changed) : FChanged(std::move(changed)) {}
  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& caption) {
    FCaption = caption;
    FChanged();
  }
  int Width() const { return FWidth; }
  void SetWidth(int width) {
    FWidth = width;
    FChanged();
  }

 private:
  std::function<void()> FChanged;
  AnsiString FCaption;
  int FWidth = 50;
};

class TListView;

class TListItem {
 public:
  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& caption);
  TStrings& SubItems() { return FSubItems; }
  void* Data() const { return FData; }
  void SetData(void* data) { FData = data; }
  void SetImageIndex(int index);
  int Index() const;
  QTreeWidgetItem* Item() const { return FItem; }

 private:
  friend class TListView;
  TListItem(TListView* owner, QTreeWidgetItem* item);
  void Show();
  TListView* FOwner;
  QTreeWidgetItem* FItem;
  AnsiString FCaption;
  TStrings FSubItems;
  void* FData = nullptr;
  int FImageIndex = -1;
};

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
using TLVColumnClickEvent = std::function<void(TObject* sender, TListColumn* column)>;
using TLVSelectItemEvent = std::function<void(TObject* sender, TListItem* item, bool selected)>;

class TListView : public TWinControl {
 public:
  explicit TListView(TComponent* owner);
  ~TListView() override;
  QTreeWidget* Tree() const;
  TListColumn* AddColumn();
  int ColumnCount() const { return static_cast<int>(FColumns.size()); }
  TListColumn* Column(int i) const { return FColumns.at(static_cast<size_t>(i)).get(); }
  TListItem* AddItem();
  int ItemCount() const { return static_cast<int>(FItems.size()); }
  TListItem* Item(int i) const;
  void ClearItems();
  TListItem* Selected() const;
  void SetSmallImages(TImageList* images) { FImages = images; }
  void SetViewStyle(TViewStyle) {}
  void SetRowSelect(bool) {}
  TLVColumnClickEvent OnColumnClick;
  TLVSelectItemEvent OnSelectItem;

 private:
  friend class TListItem;
  void ShowColumns();
  std::vector<std::unique_ptr<TListColumn>> FColumns;
  std::vector<std::unique_ptr<TListItem>> FItems;
  TImageList* FImages = nullptr;
};

// ---- Status bar

class TStatusBar : public TWinControl {
 public:
  explicit TStatusBar(TComponent* owner);
  void SetSimplePanel(bool simple) { FSimplePanel = simple; }
  bool SimplePanel() const { return FSimplePanel; }
  const AnsiString& SimpleText() const { return FSimpleText; }
  void SetSimpleText(const AnsiString& text);

 private:
  QLabel* FLabel;
  bool FSimplePanel = false;
  AnsiString FSimpleText;
};

// ---- Pages and tabs

class TTabSheet;

class TPageControl : public TWinControl {
 public:
  explicit TPageControl(TComponent* owner);
  QTabWidget* Tabs() const;
  int PageCount() const { return static_cast<int>(FPages.size()); }
  TTabSheet* Pages(int i) const { return FPages.at(static_cast<size_t>(i)); }
  TTabSheet* ActivePage() const;
  void SetActivePage(TTabSheet* page);
  TNotifyEvent OnChange;

 private:
  friend class TTabSheet;
  void AddPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  std::vector<TTabSheet*> FPages;
};

class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return FPageControl; }
  void SetPageControl(TPageControl* control);
  bool TabVisible() const { return FTabVisible; }
  void SetTabVisible(bool visible);

 protected:
  void ApplyCaption() override;

 private:
  TPageControl* FPageControl = nullptr;
  bool FTabVisible = true;
};

class TTabControl : public TWinControl {
 public:
  explicit TTabControl(TComponent* owner);
  QTabBar* TabBar() const;
  TStrings& Tabs() { return FTabs; }
  int TabIndex() const;
  void SetTabIndex(int index);
  TNotifyEvent OnChange;

 private:
  TStrings FTabs;
};

// ---- Tool bars

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

class TToolButton : public TGraphicControl {
 public:
  explicit TToolButton(TComponent* owner);
  QToolButton* Button() const;
  void SetImageIndex(int index);
  int ImageIndex() const { return FImageIndex; }
  void SetStyle(TToolButtonStyle style);
  TToolButtonStyle Style() const { return FStyle; }
  bool Down() const;
  void SetDown(bool down);
  void SetDropdownMenu(TPopupMenu* menu);
  void Click();

 protected:
  void ApplyCaption() override;

 private:
  int FImageIndex = -1;
  TToolButtonStyle FStyle = tbsButton;
};

class TToolWindow : public TWinControl {
 public:
  using TWinControl::TWinControl;
};

class TToolBar : public TToolWindow {
 public:
  explicit TToolBar(TComponent* owner);
  QToolBar* Bar() const;
  int ButtonCount() const { return static_cast<int>(FButtons.size()); }
  TToolButton* Buttons(int i) const { return FButtons.at(static_cast<size_t>(i)); }
  void SetImages(TImageList* images);
  TImageList* Images() const { return FImages; }
  void SetFlat(bool flat);

 protected:
  void ApplyCaption() override;
  void InsertControl(TControl* control) override;
  void RemoveControl(TControl* control) override;

 private:
  std::vector<TToolButton*> FButtons;
  TImageList* FImages = nullptr;
};

class TCoolBar : public TToolWindow {
 public:
  explicit TCoolBar(TComponent* owner);
};
