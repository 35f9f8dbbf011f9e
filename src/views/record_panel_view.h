// The abstract record panel: the list of rows, the script text, the page label and the two paging buttons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sorbel {

// One row of the record list as shown: a text per list column.
struct ListRow {
  std::vector<std::string> fields;
  bool deleted = false;  // a deleted row shown on request
  // Per field, whether it is NULL (its text then reads "NULL"); empty when
  // no field is, the common case.
  std::vector<bool> nulls{};
  // Per field, whether its text is only the start of the value; empty when
  // every field is whole.
  std::vector<bool> shortened{};

  bool isNull(std::size_t field) const { return field < nulls.size() && nulls[field]; }
  bool isShortened(std::size_t field) const { return field < shortened.size() && shortened[field]; }
};

// What a list column holds, which decides how its cells are drawn and sorted.
enum class ListColumnKind { text, number, dateTime, binary, xml };

// The core keeps the rows of the list page on screen and hands the view a
// whole page at a time, so a view never has to manage rows one by one.
class RecordPanelView {
 public:
  virtual ~RecordPanelView() = default;
  // Replaces every list column (and drops the rows).
  virtual void setColumns(const std::vector<std::string>& headings) = 0;
  // What each column of the last setColumns holds; a view that draws every
  // cell alike may ignore it.
  virtual void setColumnKinds(const std::vector<ListColumnKind>& /*kinds*/) {}
  // firstRowNumber: the number beside the first row, so that the numbers
  // run on across list pages (1001 on the second).
  virtual void setRows(const std::vector<ListRow>& rows, std::int64_t firstRowNumber) = 0;
  virtual void setScriptText(const std::string& text) = 0;
  virtual void setPageLabel(const std::string& text) = 0;
  // The table's size beside the page label; empty when none is shown.
  virtual void setSizeText(const std::string& text) = 0;
  // True: the list, the page label and the buttons are shown and the script
  // text hidden; false: the other way round.
  virtual void showList(bool list) = 0;
  virtual void setPreviousEnabled(bool enabled) = 0;
  virtual void setNextEnabled(bool enabled) = 0;
};

}  // namespace sorbel
