#include <gtest/gtest.h>

#include <QLabel>
#include <QWidget>

#include "lang/VCLOrvLangClasses.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/CSpin.h"
#include "platform/vcl/CheckLst.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Grids.h"
#include "platform/vcl/Mask.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/ValEdit.h"

namespace {

const char* kDictionary =
    "Options===Optionen\n"
    "Tip===Hinweis\n"
    "Key===Schluessel\n"
    "===Empty\n";

// A window with one component of every class the pass knows, each captioned "Options" with
// the hint "Tip", plus components the pass must leave alone.
class TAllRowsForm : public TVCLOrvLangForm {
 public:
  explicit TAllRowsForm(TComponent* owner) : TVCLOrvLangForm(owner) {
    SetCaption("Options");
    menu = new TPopupMenu(this);
    item = Captioned(new TMenuItem(this));
    menu->Add(item);
    button = Captioned(new TButton(this));
    bitBtn = Captioned(new TBitBtn(this));
    speed = Captioned(new TSpeedButton(this));
    panel = Captioned(new TPanel(this));
    group = Captioned(new TGroupBox(this));
    label = Captioned(new TLabel(this));
    staticText = Captioned(new TStaticText(this));
    labeled = new TLabeledEdit(this);
    labeled->EditLabel()->SetCaption("Options");
    labeled->EditLabel()->SetHint("Tip");
    labeled->SetHint("Tip");
    labeled->SetText("Options");
    edit = new TEdit(this);
    edit->SetText("Options");  // an edit's text is the user's, never translated
    mask = new TMaskEdit(this);
    mask->SetHint("Tip");
    radio = Captioned(new TRadioButton(this));
    memo = new TMemo(this);
    memo->SetLines({"Options"});
    twoLines = new TMemo(this);
    twoLines->SetLines({"Options", "Options"});
    radioGroup = Captioned(new TRadioGroup(this));
    radioGroup->Items().Assign({"Options", "Other"});
    check = Captioned(new TCheckBox(this));
    pages = new TPageControl(this);
    pages->SetParent(this);
    sheet = Captioned(new TTabSheet(this));
    sheet->SetPageControl(pages);
    open = new TOpenDialog(this);
    open->SetTitle("Options");
    save = new TSaveDialog(this);
    save->SetTitle("Options");
    values = new TValueListEditor(this);
    values->InsertRow("Options", "Options");
    checkList = new TCheckListBox(this);
    checkList->Items().Assign({"Options"});
    tree = new TTreeView(this);
    tree->SetHint("Tip");
    list = new TListView(this);
    list->AddColumn()->SetCaption("Options");
    tabs = new TTabControl(this);
    tabs->Tabs().Assign({"Options"});
    status = new TStatusBar(this);
    status->SetHint("Tip");
    spin = new TCSpinEdit(this);
    spin->SetHint("Tip");
    toolBar = Captioned(new TToolBar(this));
    toolBar->SetParent(this);
    toolButton = Captioned(new TToolButton(this));
    toolButton->SetParent(toolBar);
    cool = new TCoolBar(this);
    cool->SetHint("Tip");
    grid = new TStringGrid(this);
    grid->SetHint("Tip");
    combo = new TComboBox(this);  // not a row of the pass
    combo->Items().Assign({"Options"});
    combo->SetHint("Tip");
    timer = new TTimer(this);
    timer->SetEnabled(false);
  }

  template <class T>
  T* Captioned(T* c) {
    c->SetCaption("Options");
    c->SetHint("Tip");
    return c;
  }

  TPopupMenu* menu;
  TMenuItem* item;
  TButton* button;
  TBitBtn* bitBtn;
  TSpeedButton* speed;
  TPanel* panel;
  TGroupBox* group;
  TLabel* label;
  TStaticText* staticText;
  TLabeledEdit* labeled;
  TEdit* edit;
  TMaskEdit* mask;
  TRadioButton* radio;
  TMemo* memo;
  TMemo* twoLines;
  TRadioGroup* radioGroup;
  TCheckBox* check;
  TPageControl* pages;
  TTabSheet* sheet;
  TOpenDialog* open;
  TSaveDialog* save;
  TValueListEditor* values;
  TCheckListBox* checkList;
  TTreeView* tree;
  TListView* list;
  TTabControl* tabs;
  TStatusBar* status;
  TCSpinEdit* spin;
  TToolBar* toolBar;
  TToolButton* toolButton;
  TCoolBar* cool;
  TStringGrid* grid;
  TComboBox* combo;
  TTimer* timer;
};

class TranslatingForms : public testing::Test {
 protected:
  static void SetUpTestSuite() { TheLanguage().LoadFromText(kDictionary); }
  void SetUp() override { form_ = CreateFormInstance<TAllRowsForm>(nullptr); }
  void TearDown() override { Free(form_); }
  TAllRowsForm* form_ = nullptr;
};

TEST_F(TranslatingForms, CaptionAndHintRowsAreTranslated) {
  TAllRowsForm& f = *form_;
  EXPECT_EQ(f.Caption(), "Optionen");
  EXPECT_EQ(f.Widget()->windowTitle().toStdString(), "Optionen");
  for (TControl* c : std::initializer_list<TControl*>{f.button, f.bitBtn, f.speed, f.panel, f.group,
                                                      f.label, f.staticText, f.radio, f.radioGroup,
                                                      f.check, f.sheet, f.toolBar, f.toolButton}) {
    EXPECT_EQ(c->Caption(), "Optionen") << typeid(*c).name();
    EXPECT_EQ(c->Hint(), "Hinweis") << typeid(*c).name();
  }
  EXPECT_EQ(f.item->Caption(), "Optionen");
  EXPECT_EQ(f.item->Hint(), "Hinweis");
}

TEST_F(TranslatingForms, RowsWithListsAndSpecialTexts) {
  TAllRowsForm& f = *form_;
  EXPECT_EQ(f.labeled->EditLabel()->Caption(), "Optionen");
  EXPECT_EQ(f.labeled->EditLabel()->Hint(), "Hinweis");
  EXPECT_EQ(f.labeled->Hint(), "Hinweis");
  EXPECT_EQ(f.labeled->Text(), "Options");
  EXPECT_EQ(f.edit->Text(), "Options");
  EXPECT_EQ(f.mask->Hint(), "Hinweis");
  EXPECT_EQ(f.memo->Text(), "Optionen");
  EXPECT_EQ(f.twoLines->Text(), "Options\r\nOptions") << "a memo is looked up as one text";
  EXPECT_EQ(f.radioGroup->Items().Items(), (std::vector<std::string>{"Optionen", "Other"}));
  EXPECT_EQ(f.open->Title(), "Optionen");
  EXPECT_EQ(f.save->Title(), "Optionen");
  EXPECT_EQ(f.values->TitleCaptions().Items(), (std::vector<std::string>{"Schluessel", "Value"}));
  EXPECT_EQ(f.values->Key(0), "Optionen");
  EXPECT_EQ(f.values->Value(0), "Options") << "values are not translated";
  EXPECT_EQ(f.checkList->Items().Items(), std::vector<std::string>{"Optionen"});
  EXPECT_EQ(f.list->Column(0)->Caption(), "Optionen");
  EXPECT_EQ(f.tabs->Tabs().Items(), std::vector<std::string>{"Optionen"});
  for (TControl* c : std::initializer_list<TControl*>{f.tree, f.status, f.spin, f.cool, f.grid})
    EXPECT_EQ(c->Hint(), "Hinweis") << typeid(*c).name();
}

TEST_F(TranslatingForms, EmptyTextsTakeTheEmptyKeyOnlyInTheTranslatedKinds) {
  TAllRowsForm& f = *form_;
  EXPECT_EQ(f.edit->Hint(), "Empty");
  EXPECT_EQ(f.tree->Caption(), "") << "a tree view's caption is not among its row's texts";
  EXPECT_EQ(f.combo->Hint(), "Tip") << "combo boxes are not translated";
  EXPECT_EQ(f.combo->Items().Items(), std::vector<std::string>{"Options"});
}

TEST_F(TranslatingForms, ControlsAreNamedForAssistiveTechnology) {
  TAllRowsForm& f = *form_;
  f.button->SetName("btnOptions");
  EXPECT_EQ(f.button->Widget()->objectName().toStdString(), "btnOptions");
  EXPECT_EQ(f.button->Widget()->accessibleName().toStdString(), "Optionen");
  EXPECT_EQ(f.button->Widget()->accessibleDescription().toStdString(), "Hinweis");
}

TEST(DictionaryPath, OneSeparatorBeforeTheFileName) {
  std::string path = FormDictionaryPath();
  ASSERT_GE(path.size(), 9u);
  EXPECT_EQ(path.substr(path.size() - 9), "/lang.dic");
  EXPECT_EQ(path.find("//"), std::string::npos);
}

}  // namespace
