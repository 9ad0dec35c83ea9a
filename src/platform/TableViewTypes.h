// SPDX-License-Identifier: GPL-3.0-or-later
// The small enumerations shared by the table, its cells and its data source.
#pragma once

namespace platform {

enum class TableViewStyle { Plain, Grouped };

enum class TableViewCellAccessoryType { None, DisclosureIndicator, DetailDisclosureButton, Checkmark };

enum class TableViewCellSelectionStyle { None, Blue, Gray };

enum class TableViewCellEditingStyle { None, Delete, Insert };

enum class TableViewRowAnimation { Fade, Right, Left, Top, Bottom, None };

} // namespace platform
