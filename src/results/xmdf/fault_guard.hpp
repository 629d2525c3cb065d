#pragma once
// The guard around the binding's HDF5 calls. HDF5 can fault (SIGSEGV, SIGBUS) inside its
// own code on a damaged file; while a guarded call is in progress such a fault ends the
// run with "ERROR - The HDF5 library failed while reading: " and the file's name, every
// output of the run removed and exit status 1. Outside a guarded call a fault is left to
// whatever handled it before (a crash stays a crash). The handler makes async-signal-safe
// calls only.

#include <string_view>

namespace zorvel::results::xmdf {

// Installs the handler for SIGSEGV and SIGBUS, once.
void install_fault_guard();

// Marks an HDF5 call on the named file in progress for its lifetime (calls may nest;
// the outermost names the file). The handler's line follows everything the console has
// written before it (say_at_fault writes what the console still holds first).
class Hdf5Call {
public:
    explicit Hdf5Call(std::string_view file);
    ~Hdf5Call();
    Hdf5Call(const Hdf5Call&) = delete;
    Hdf5Call& operator=(const Hdf5Call&) = delete;
};

}  // namespace zorvel::results::xmdf
