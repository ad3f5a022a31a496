// View definitions of the host's lister/editor framework: data in the
// database (tables pw_view and pw_view_column), read once per log-in and
// kept by the host. A lister definition names the rows it lists; an editor
// definition names the record it edits; both name their columns.
#pragma once

#include <string_view>

#include "host/sys/Bucket.h"

// The definitions Bucket and the row of view `viewName` (kind 'L' lister,
// 'E' editor). The Bucket belongs to the host (read-only, valid until the
// last logged-in session logs out); columns: view_name, kind, source,
// key_columns, where_clause, order_by, caption, dialog_template,
// linked_view, search_first. False when unknown or of the other kind.
bool DbView_GetListViewBktRow(std::string_view viewName, BktHandle& bkt, int& row);
bool DbView_GetEdViewBktRow(std::string_view viewName, BktHandle& bkt, int& row);
// The editor linked to lister `listerView` (its linked_view).
bool DbView_GetEdLinkBktRow(std::string_view listerView, BktHandle& bkt, int& row);
// The columns of view `viewName`, in position order: Bucket of view_name,
// position, column_name, heading, width, editable, searchable, format; the
// rows [first, last] of it. False when the view has no columns.
bool DbView_GetColumnRows(std::string_view viewName, BktHandle& bkt, int& first, int& last);
