// The unknown entries offered with a backup and their ticks, as the dialog shows them and the runs read them.

#pragma once

#include "vocabulary/UnknownEntry.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillbank {

class TInterfaceTexts;

/**
 * What the unknown-files dialog shows and what the runs act on: one row per
 * entry, each with its tick, the select/deselect-all box and the ticks saved
 * by the last OK. The window only mirrors this object, and a run reads the
 * ticks whether or not the dialog was ever opened.
 *
 * Row i always stands for item i of the list the rows were built from; that
 * list is kept, so a run takes its entries from it and never scans again.
 */
class TUnknownFilesChoice
{
public:
    /// Replaces the rows with one ticked row per item and forgets the saved
    /// ticks; the select/deselect-all box keeps its tick. A folder row reads
    /// "<name> (<LANG_DIRECTORY>)".
    void Fill(std::vector<TUnknownEntry> items, const TInterfaceTexts& texts);
    /// Removes every row and forgets the saved ticks.
    void Clear();

    /// The entries the rows were built from, in row order.
    const std::vector<TUnknownEntry>& Items() const { return items_; }
    const std::vector<std::string>& RowTexts() const { return rowTexts_; }
    std::size_t RowCount() const { return items_.size(); }
    /// The unknown-files button is shown only when there is a row.
    bool HasRows() const { return !items_.empty(); }

    /// One tick per row, in row order.
    const std::vector<bool>& Ticks() const { return ticks_; }
    /// Throws std::out_of_range for a row that does not exist.
    void SetTicked(std::size_t row, bool ticked);

    /// The select/deselect-all box; ticked to begin with.
    bool AllBoxTicked() const { return allBoxTicked_; }
    /// The box is clicked into `ticked`: every row takes the same tick.
    void SetAllBoxTicked(bool ticked);

    /// The dialog is about to show: the saved ticks are put back when there
    /// are any; otherwise every row is saved as ticked, whatever its tick.
    void Show();
    /// OK: the rows' ticks are saved.
    void Ok();
    /// Cancel: the saved ticks are put back (nothing changes when none are saved).
    void Cancel();
    /// The ticks saved for the rows; nothing until the dialog was first shown
    /// after the rows were built.
    const std::optional<std::vector<bool>>& SavedStates() const { return savedStates_; }

private:
    void RestoreSavedStates();

    std::vector<TUnknownEntry> items_;
    std::vector<std::string> rowTexts_;
    std::vector<bool> ticks_;
    bool allBoxTicked_ = true;
    std::optional<std::vector<bool>> savedStates_;
};

} // namespace quillbank
