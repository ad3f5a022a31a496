// AcqDbTempPea: the database side of distribution patterns and PO
// templates. Every write is one transaction with the retry of write
// conflicts; a state another workstation may change (a pattern name still
// free, an item still unapproved) is read again inside it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace acq::AcqDbTempPea {

// A refusal the person is told: message id and its arguments (0: none).
struct Refusal {
  int id = 0;
  std::string a1{}, a2{};
};

struct Pattern {
  int32_t key = 0;  // po_line_pattern#
  std::string name;
};
// Every pattern, by name. False when the database failed (reported).
bool LoadPatterns(std::vector<Pattern>& out);

// Saves the items of line (po, line) and their budget splits as pattern
// `name` (trimmed; at most 30 characters). The existence check and the
// writes are one transaction; the new key is taken first, which holds
// the key row's write lock, so a second workstation saving the same name
// waits, retries and then finds the name taken.
// NameExists (nothing written): the name is taken and `replace` is false.
// With `replace` the existing pattern keeps its key and gets the line's
// items in place of its own. NoItems: the line has none. `key`: the
// pattern's key when Saved. Failed: a database failure, already reported.
enum class SaveResult { Saved, NameExists, NoItems, Failed };
SaveResult SavePattern(int32_t po, int16_t line, std::string_view name, bool replace, int32_t& key);

// Deletes the pattern's budget rows, items and the pattern (templates that
// named it keep none). False when the database failed (reported).
bool DeletePattern(int32_t key);

// Applies pattern `key` to line (po, line): the items that may go (not
// approved, without activity, not made by renewal) are deleted, the
// pattern's items added after last_item, and the line saved by the line
// save (its money moved both ways, fund control asked). Approved and
// active items stay. Refused, told nothing, with `refusal`: 440 when every
// item of the line is approved, 449 (percentages), 76 (a budget twice),
// 454 (a budget that does not exist or may not be used), 455 (a split
// that does not fit the item's budget field), a vanished pattern (1842).
// Failed: the save failed and was reported (a refusal of the line save is
// shown by it). Line 0 never exists.
enum class ApplyResult { Applied, Refused, Failed };
ApplyResult ApplyPattern(int32_t key, int32_t po, int16_t line, Refusal& refusal);

// ---- templates ------------------------------------------------------------------------
// The header columns a template gives a new PO: the template's own columns
// that the PO table also has (its name, description, pattern and numbering
// flag are the template's alone), by name.
std::vector<std::string> TemplateHeaderColumns();
// Template `name`: its header `values` (text of each column a template
// gives; a NULL column is left out), `pattern` (0 none), `userAssigns`.
// Refused with `refusal` 1843 when the template is gone, 1844 when it names
// a vendor that no longer exists (nothing made). False when the database
// failed (reported) or refused.
struct TemplateValues {
  std::map<std::string, std::string> header;
  int32_t pattern = 0;
  bool userAssigns = false;
};
bool LoadTemplate(std::string_view name, TemplateValues& out, Refusal& refusal);

// The templates for the lister (po_template_with_vendor), by name.
struct TemplateRow {
  std::string name, description, vendor, vendorName;
};
bool LoadTemplates(std::vector<TemplateRow>& out);

// The values of PO `po` that a template keeps (TemplateHeaderColumns);
// false when the database failed (reported) or the PO is gone.
bool PoHeaderValues(int32_t po, std::map<std::string, std::string>& header);

// Saves template `name` (trimmed, at most 30 characters) with `values`
// (header values, the pattern, the numbering flag) and `description`. The
// name check and the write are one transaction, serialised between
// workstations on the key row "po_template". NameExists (nothing written)
// when the name is taken and `replace` is false; with `replace` the
// template's row is written over. `renamedFrom`: the name the template had
// when it was edited under another ("" none): that row goes.
enum class TemplateSave { Saved, NameExists, Failed };
TemplateSave SaveTemplate(std::string_view name, std::string_view description,
                          const TemplateValues& values, bool replace,
                          std::string_view renamedFrom = {});

}  // namespace acq::AcqDbTempPea
