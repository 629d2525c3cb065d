"""What the XMDF fixture generators share, written with h5py alone: the texts, folder
groups, dataset groups and file header of the layout a model run writes."""
import h5py
import numpy as np


def fixed(text):
    """A text as a model run stores it: a NUL-terminated fixed-length string."""
    return np.array(text.encode() + b"\0", dtype="S%d" % (len(text) + 1))


def generic(parent, name):
    """A folder group."""
    g = parent.create_group(name)
    g.attrs["Grouptype"] = fixed("Generic")
    return g


def dataset_group(parent, name, kind, time_units=True):
    """A dataset group ("SCALAR" or "VECTOR") with a model run's attributes, TimeUnits
    left out when time_units is false; its arrays are the caller's."""
    g = parent.create_group(name)
    g.attrs["Grouptype"] = fixed("DATASET " + kind)
    g.attrs["DatasetUnits"] = fixed("m")
    if time_units:
        g.attrs["TimeUnits"] = fixed("Hours")
    g.attrs["DatasetCompression"] = np.int32(-1)
    g.attrs["Data Type"] = np.int32(0)
    return g


def xmdf_file(path, version=True):
    """A new file with its "File Type" and, unless version is false, "File Version"."""
    f = h5py.File(path, "w")
    f.create_dataset("File Type", data=fixed("Xmdf"))
    if version:
        f.create_dataset("File Version", data=np.array([1.9], dtype=np.float32))
    return f
