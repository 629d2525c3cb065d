#pragma once
// Owners of HDF5 ids: one move-only type per id kind, whose destructor closes the
// id. Moving takes the id; close() releases it early and says whether HDF5 closed
// it cleanly, so the binding can report a failed close as a status.

#include <hdf5.h>

#include <utility>

namespace zorvel::results::xmdf {

template <herr_t (*CloseFn)(hid_t)>
class Handle {
public:
    Handle() = default;
    explicit Handle(hid_t id) : id_(id) {}
    ~Handle() { (void)close(); }

    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : id_(std::exchange(other.id_, H5I_INVALID_HID)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            (void)close();
            id_ = std::exchange(other.id_, H5I_INVALID_HID);
        }
        return *this;
    }

    hid_t get() const { return id_; }
    bool valid() const { return id_ >= 0; }
    explicit operator bool() const { return valid(); }

    // Closes the id now; true when there was nothing to close or HDF5 closed it.
    bool close() {
        if (id_ < 0) return true;
        return CloseFn(std::exchange(id_, H5I_INVALID_HID)) >= 0;
    }

private:
    hid_t id_ = H5I_INVALID_HID;
};

using FileHandle = Handle<H5Fclose>;
using GroupHandle = Handle<H5Gclose>;
using DatasetHandle = Handle<H5Dclose>;
using SpaceHandle = Handle<H5Sclose>;
using AttributeHandle = Handle<H5Aclose>;
using TypeHandle = Handle<H5Tclose>;
using PlistHandle = Handle<H5Pclose>;

}  // namespace zorvel::results::xmdf
