#include "profile/UnknowFiles.h"

#include "config/l10n.h"
#include "platform/Text.h"

namespace quillbank {

void TUnknowFilesModel::Fill(std::vector<TUnknowItem> items, const Tl10n& l10n)
{
    Clear();
    items_ = std::move(items);
    const std::string directory = " (" + l10n.GetText("Quillbank14", "LANG_DIRECTORY") + ")";
    for (const TUnknowItem& item : items_)
        rowTexts_.push_back(VisibleText(item.Name) + (item.IsDirectory ? directory : std::string()));
    ticks_.assign(items_.size(), true);
}

void TUnknowFilesModel::Clear()
{
    items_.clear();
    rowTexts_.clear();
    ticks_.clear();
    savedStates_.reset();
}

void TUnknowFilesModel::SetTicked(std::size_t row, bool ticked)
{
    ticks_.at(row) = ticked;
}

std::vector<TUnknowItem> TUnknowFilesModel::TickedItems() const
{
    std::vector<TUnknowItem> ticked;
    for (std::size_t row = 0; row < items_.size(); ++row)
        if (ticks_[row])
            ticked.push_back(items_[row]);
    return ticked;
}

void TUnknowFilesModel::SetAllBoxTicked(bool ticked)
{
    allBoxTicked_ = ticked;
    ticks_.assign(ticks_.size(), ticked);
}

void TUnknowFilesModel::Show()
{
    if (savedStates_)
        RestoreSavedStates();
    else
        savedStates_.emplace(ticks_.size(), true);
}

void TUnknowFilesModel::Ok()
{
    savedStates_ = ticks_;
}

void TUnknowFilesModel::Cancel()
{
    if (savedStates_)
        RestoreSavedStates();
}

void TUnknowFilesModel::RestoreSavedStates()
{
    // A row without a saved tick counts as unticked.
    for (std::size_t row = 0; row < ticks_.size(); ++row)
        ticks_[row] = row < savedStates_->size() && (*savedStates_)[row];
}

} // namespace quillbank
