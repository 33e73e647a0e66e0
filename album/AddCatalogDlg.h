#pragma once
// CAddCatalogDlg: the condition editor of a user catalog (template 134): a
// name and a property grid of conditions in three groups (basic, tags and
// time, camera data). The caller may set criteria and name between Create
// and RunModal (the rows are built when the dialog runs) and reads them back
// after OK. OK turns the rows into criteria and refuses, with the dialog
// left open, ranges whose ends are not in order, an empty name and a
// catalog without any condition.

#include <cstdint>
#include <string>
#include <string_view>

#include "album/SearchCriteria.h"
#include "ui/DialogSprite.h"
#include "ui/widgets/PropItem.h"
#include "ui/widgets/SPropertyList.h"

// "2010-05-01", "2010/5/1", "2010 5 1" -> 20100501; "2010-05" -> 20100500.
// Fields are separated by runs of blank, '-', '/', ':', '\' and '_'; a year
// outside 1980..2100, a month outside 1..12, a day above 31 or a field of 100
// characters or more gives 0.
std::int32_t ParseCatalogDate(std::u16string_view text);

// Fills criteria from the rows under root (as BuildCatalogRows makes them)
// and checks the name. Empty on success, else the text key of the error:
// a range row's key ("Filelength", "FileShape", "TimeRange", "exifISO",
// "exifFnumber", "exifShutter"; the message is "ErrorPropSet" with it),
// "NoCondition" or "NameNotSet".
std::u16string CollectCatalogCriteria(const CTreeNode& root, std::u16string_view name,
                                      SearchCriteria& criteria);
// Whether a range key's error is shown through "ErrorPropSet".
bool IsCatalogRangeError(std::u16string_view key);

// The three groups of rows showing criteria, appended to root.
void BuildCatalogRows(const SearchCriteria& criteria, CTreeNode& root);
// Which rows can be edited, from the choices of the others.
void UpdateCatalogRowStates(CTreeNode& root);
// The value row with the id under root, or null.
CPropItem* FindCatalogRow(const CTreeNode& root, std::int32_t id);

class CAddCatalogDlg : public CDialogSprite {
public:
  static constexpr std::int32_t kTemplateId = 134;
  static constexpr std::int32_t kNameId = 1003;
  static constexpr std::int32_t kListId = 100;
  static constexpr std::int32_t kNameLength = 30;
  static constexpr std::int32_t kLabelColumn = 130;
  static constexpr Point kListAt{10, 70};

  ~CAddCatalogDlg() override;
  // The dialog's Destroy, then the rows and the list go.
  void Destroy(int final) override;
  bool OnSpriteMessage(const SpriteMessage& message) override;
  [[nodiscard]] bool OnInitDialog() override;
  [[nodiscard]] bool OnOK() override;

  void RebuildRows();
  void UpdateRowStates();
  // The rows into criteria; a refused value shows its message: false.
  [[nodiscard]] bool CollectCriteria();

  CSPropertyList propertyList;
  CPropItem rootItem;
  SearchCriteria criteria;
  std::u16string name;
};
