// Keeps the rows' ticks, the select/deselect-all box and the ticks saved on OK in step.

#include "engine/UnknownFilesChoice.h"

#include "config/InterfaceTexts.h"
#include "platform/Text.h"

namespace quillbank {

void TUnknownFilesChoice::Fill(std::vector<TUnknownEntry> items, const TInterfaceTexts& texts)
{
    Clear();
    items_ = std::move(items);
    const std::string directory = " (" + texts.GetText("Quillbank14", "LANG_DIRECTORY") + ")";
    for (const TUnknownEntry& item : items_)
        rowTexts_.push_back(VisibleText(item.Name) + (item.IsDirectory ? directory : std::string()));
    ticks_.assign(items_.size(), true);
}

void TUnknownFilesChoice::Clear()
{
    items_.clear();
    rowTexts_.clear();
    ticks_.clear();
    savedStates_.reset();
}

void TUnknownFilesChoice::SetTicked(std::size_t row, bool ticked)
{
    ticks_.at(row) = ticked;
}

void TUnknownFilesChoice::SetAllBoxTicked(bool ticked)
{
    allBoxTicked_ = ticked;
    ticks_.assign(ticks_.size(), ticked);
}

void TUnknownFilesChoice::Show()
{
    if (savedStates_)
        RestoreSavedStates();
    else
        savedStates_.emplace(ticks_.size(), true);
}

void TUnknownFilesChoice::Ok()
{
    savedStates_ = ticks_;
}

void TUnknownFilesChoice::Cancel()
{
    if (savedStates_)
        RestoreSavedStates();
}

void TUnknownFilesChoice::RestoreSavedStates()
{
    // A row without a saved tick counts as unticked.
    for (std::size_t row = 0; row < ticks_.size(); ++row)
        ticks_[row] = row < savedStates_->size() && (*savedStates_)[row];
}

} // namespace quillbank
