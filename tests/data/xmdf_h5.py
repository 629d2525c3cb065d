"""What the XMDF fixture generators share, written with h5py alone: the texts, folder
groups, dataset groups with their arrays and file header of the layout a model run writes."""
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
    """A dataset group ("SCALAR" or "VECTOR") with a model run's attributes: TimeUnits
    "Hours", another unit when time_units is a text, none when it is false; its arrays
    are the caller's."""
    g = parent.create_group(name)
    g.attrs["Grouptype"] = fixed("DATASET " + kind)
    g.attrs["DatasetUnits"] = fixed("m")
    if time_units:
        g.attrs["TimeUnits"] = fixed("Hours" if time_units is True else time_units)
    g.attrs["DatasetCompression"] = np.int32(-1)
    g.attrs["Data Type"] = np.int32(0)
    return g


def dataset(parent, name, kind, times, values, active, time_units=True, growable=False):
    """A dataset group ("SCALAR" or "VECTOR", time_units as dataset_group takes them) with the
    arrays a model run writes: Times, Values [t][n] or [t][n][2], the Mins and Maxs of each
    step (of the vectors' magnitudes) and Active [t][c]. With growable the arrays may grow a
    step at a time (Times in chunks of 16, the others in chunks of one step), as a run that
    adds steps leaves them; otherwise they are contiguous."""
    values = np.array(values, dtype=np.float32)
    active = np.array(active, dtype=np.uint8)
    g = dataset_group(parent, name, kind, time_units)

    # The arguments that make an array growable in chunks of the given leading size.
    def steps(a, chunk):
        return dict(maxshape=(None,) + a.shape[1:], chunks=chunk + a.shape[1:]) if growable else {}

    times = np.array(times, dtype=np.float64)
    g.create_dataset("Times", data=times, **steps(times, (16,)))
    g.create_dataset("Values", data=values, **steps(values, (1,)))
    mags = np.sqrt((values ** 2).sum(axis=2)) if kind == "VECTOR" else values
    g.create_dataset("Mins", data=mags.min(axis=1).astype(np.float32))
    g.create_dataset("Maxs", data=mags.max(axis=1).astype(np.float32))
    g.create_dataset("Active", data=active, **steps(active, (1,)))
    return g


def one_text_array(parent, name, text):
    """A one-element array of a NUL-terminated fixed-length text, the form in which other
    XMDF writers store "File Type"."""
    tid = h5py.h5t.C_S1.copy()
    tid.set_size(len(text) + 1)
    tid.set_strpad(h5py.h5t.STR_NULLTERM)
    space = h5py.h5s.create_simple((1,))
    dset = h5py.h5d.create(parent.id, name.encode(), tid, space)
    dset.write(h5py.h5s.ALL, h5py.h5s.ALL, np.array([text.encode()], dtype="S%d" % (len(text) + 1)), mtype=tid)


def xmdf_file(path, version=True, type_array=False):
    """A new file with its "File Type" (a scalar text, or with type_array the one-element
    array of other writers) and, unless version is false, "File Version"."""
    f = h5py.File(path, "w")
    if type_array:
        one_text_array(f, "File Type", "Xmdf")
    else:
        f.create_dataset("File Type", data=fixed("Xmdf"))
    if version:
        f.create_dataset("File Version", data=np.array([1.9], dtype=np.float32))
    return f
