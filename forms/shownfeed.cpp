#include "forms/shownfeed.h"

void ShownFeed::addPart(const QObject *owner, Part part)
{
    parts_.emplace_back(owner, std::move(part));
}

Shown ShownFeed::compose() const
{
    Shown shown;
    for (const auto &[owner, part] : parts_) {
        if (owner)
            part(shown);
    }
    return shown;
}

void ShownFeed::refresh()
{
    Shown now = compose();
    if (now == current_)
        return;
    current_ = std::move(now);
    emit changed(current_);
}
