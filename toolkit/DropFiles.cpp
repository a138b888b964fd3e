#include "toolkit/Services.h"

DropFiles::~DropFiles() {
    if (drop_) DragFinish(drop_);
}

UINT DropFiles::Count() const { return DragQueryFileA(drop_, 0xFFFFFFFF, nullptr, 0); }

std::string DropFiles::FileName(UINT index) const {
    UINT length = DragQueryFileA(drop_, index, nullptr, 0);
    if (length == 0) return std::string();
    std::string name(static_cast<size_t>(length) + 1, '\0');
    UINT copied = DragQueryFileA(drop_, index, name.data(), length + 1);
    name.resize(copied <= length ? copied : length);
    return name;
}
