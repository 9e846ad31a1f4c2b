// An image list owned for one scope, destroyed with ImageList_Destroy. The
// list views that show it are made with LVS_SHAREIMAGELISTS, so this owner
// alone frees it.
#pragma once
#include <windows.h>
#include <commctrl.h>

class ScopedImageList {
public:
    explicit ScopedImageList(HIMAGELIST list = nullptr) : list_(list) {}
    ~ScopedImageList() { Reset(); }
    ScopedImageList(const ScopedImageList&) = delete;
    ScopedImageList& operator=(const ScopedImageList&) = delete;

    HIMAGELIST Get() const { return list_; }
    void Reset(HIMAGELIST list = nullptr)
    {
        if (list_)
            ImageList_Destroy(list_);
        list_ = list;
    }

private:
    HIMAGELIST list_;
};
