#include "io/hdf5/hdf5_file.h"

#include <hdf5.h>

#include <cstdio>

namespace {

// The library prints its error stack by default; the messages here say what
// failed instead, with the innermost reason the stack gives. A thread-safe
// library keeps that setting per thread, so every thread that calls it
// silences it once.
// Nor does the library tidy up at exit: after a file whose close failed (a
// full disk) its own clean-up crashes, and every file we wrote was closed
// by us anyway.
void silenceLibrary() {
    static const bool noExitHandler = [] {
        H5dont_atexit();
        return true;
    }();
    static thread_local const bool silenced = [] {
        H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
        return true;
    }();
    (void)noExitHandler;
    (void)silenced;
}

herr_t keepInnermost(unsigned, const H5E_error2_t* entry, void* data) {
    std::string& text = *static_cast<std::string*>(data);
    if (text.empty() && entry->desc != nullptr) text = entry->desc;
    return 0;
}

std::string libraryReason() {
    std::string reason;
    H5Ewalk2(H5E_DEFAULT, H5E_WALK_DOWNWARD, keepInnermost, &reason);
    H5Eclear2(H5E_DEFAULT);
    return reason;
}

hid_t objectOf(hid_t file, const std::string& object) {
    if (object.empty()) return H5Gopen2(file, "/", H5P_DEFAULT);
    return H5Oopen(file, object.c_str(), H5P_DEFAULT);
}

// Writes an attribute, replacing one of the same name.
bool writeAttribute(hid_t object, const std::string& name, hid_t type, hid_t space, const void* data) {
    if (H5Aexists(object, name.c_str()) > 0) H5Adelete(object, name.c_str());
    const hid_t attribute = H5Acreate2(object, name.c_str(), type, space, H5P_DEFAULT, H5P_DEFAULT);
    if (attribute < 0) return false;
    const bool ok = H5Awrite(attribute, type, data) >= 0;
    H5Aclose(attribute);
    return ok;
}

std::string numberText(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

struct AttributeVisit {
    std::vector<std::pair<std::string, std::string>>* out;
};

herr_t readAttribute(hid_t object, const char* name, const H5A_info_t*, void* data) {
    auto& out = *static_cast<AttributeVisit*>(data)->out;
    const hid_t attribute = H5Aopen(object, name, H5P_DEFAULT);
    if (attribute < 0) return -1;
    const hid_t type = H5Aget_type(attribute);
    const hid_t space = H5Aget_space(attribute);
    const hssize_t count = H5Sget_simple_extent_npoints(space);
    std::string value;
    if (H5Tget_class(type) == H5T_STRING) {
        // Read in the attribute's own string type: no conversion of its
        // character set is asked for.
        if (H5Tis_variable_str(type) > 0) {
            char* text = nullptr;
            if (H5Aread(attribute, type, &text) >= 0 && text != nullptr) {
                value = text;
                H5free_memory(text);
            }
        } else {
            std::string fixed(H5Tget_size(type), '\0');
            if (H5Aread(attribute, type, fixed.data()) >= 0) value = fixed.substr(0, fixed.find('\0'));
        }
    } else if (count > 0) {
        std::vector<double> values(static_cast<std::size_t>(count));
        if (H5Aread(attribute, H5T_NATIVE_DOUBLE, values.data()) >= 0) {
            for (std::size_t i = 0; i < values.size(); ++i) value += (i == 0 ? "" : ", ") + numberText(values[i]);
        }
    }
    H5Sclose(space);
    H5Tclose(type);
    H5Aclose(attribute);
    out.emplace_back(name, value);
    return 0;
}

}  // namespace

Hdf5File::~Hdf5File() {
    std::string ignored;
    close(ignored);
}

bool Hdf5File::fail(const std::string& what, std::string& error) const {
    const std::string reason = libraryReason();
    error = what + " '" + name_ + "'" + (reason.empty() ? "" : ": " + reason);
    return false;
}

bool Hdf5File::create(const std::string& path, const std::string& name, std::string& error) {
    silenceLibrary();
    name_ = name;
    // Attributes keep the order they were written in, which is the order a
    // reader is meant to meet them.
    const hid_t properties = H5Pcreate(H5P_FILE_CREATE);
    H5Pset_attr_creation_order(properties, H5P_CRT_ORDER_TRACKED | H5P_CRT_ORDER_INDEXED);
    file_ = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, properties, H5P_DEFAULT);
    H5Pclose(properties);
    if (file_ < 0) return fail("cannot create HDF5 output", error);
    return true;
}

bool Hdf5File::openForReading(const std::string& path, std::string& error) {
    silenceLibrary();
    name_ = path;
    if (H5Fis_hdf5(path.c_str()) <= 0) {
        H5Eclear2(H5E_DEFAULT);
        error = "'" + path + "' is not a readable HDF5 file";
        return false;
    }
    file_ = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    if (file_ < 0) return fail("cannot open HDF5 file", error);
    return true;
}

int Hdf5File::addSeries(const std::string& name, Type type, std::size_t chunk, std::string& error) {
    const hsize_t initial = 0;
    const hsize_t unlimited = H5S_UNLIMITED;
    const hsize_t chunkSize = chunk;
    const hid_t space = H5Screate_simple(1, &initial, &unlimited);
    const hid_t properties = H5Pcreate(H5P_DATASET_CREATE);
    // Shuffle puts the bytes of equal significance together, which is what
    // lets deflate find the slowly changing high bytes of each value.
    H5Pset_chunk(properties, 1, &chunkSize);
    H5Pset_shuffle(properties);
    H5Pset_deflate(properties, 1);
    H5Pset_attr_creation_order(properties, H5P_CRT_ORDER_TRACKED | H5P_CRT_ORDER_INDEXED);
    const hid_t fileType = type == Type::Float64 ? H5T_IEEE_F64LE : H5T_STD_I32LE;
    const hid_t dataset = H5Dcreate2(file_, name.c_str(), fileType, space, H5P_DEFAULT, properties, H5P_DEFAULT);
    H5Pclose(properties);
    H5Sclose(space);
    if (dataset < 0) {
        fail("cannot create dataset '" + name + "' in", error);
        return -1;
    }
    series_.push_back(Series{dataset, type, 0});
    return static_cast<int>(series_.size() - 1);
}

bool Hdf5File::append(int index, const void* values, std::size_t count, std::string& error) {
    if (count == 0) return true;
    silenceLibrary();
    Series& s = series_[static_cast<std::size_t>(index)];
    const hsize_t newLength = s.length + count;
    const hsize_t start = s.length;
    const hsize_t size = count;
    bool ok = H5Dset_extent(s.dataset, &newLength) >= 0;
    const hid_t fileSpace = ok ? H5Dget_space(s.dataset) : -1;
    ok = ok && fileSpace >= 0 && H5Sselect_hyperslab(fileSpace, H5S_SELECT_SET, &start, nullptr, &size, nullptr) >= 0;
    const hid_t memorySpace = H5Screate_simple(1, &size, nullptr);
    ok = ok && H5Dwrite(s.dataset, s.type == Type::Float64 ? H5T_NATIVE_DOUBLE : H5T_NATIVE_INT32, memorySpace,
                        fileSpace, H5P_DEFAULT, values) >= 0;
    H5Sclose(memorySpace);
    if (fileSpace >= 0) H5Sclose(fileSpace);
    if (!ok) return fail("cannot write", error);
    s.length = newLength;
    return true;
}

bool Hdf5File::setText(const std::string& object, const std::string& name, const std::string& value,
                       std::string& error) {
    const hid_t target = objectOf(file_, object);
    if (target < 0) return fail("no object '" + object + "' in", error);
    const hid_t type = H5Tcopy(H5T_C_S1);
    H5Tset_size(type, value.empty() ? 1 : value.size());
    H5Tset_cset(type, H5T_CSET_UTF8);
    const hid_t space = H5Screate(H5S_SCALAR);
    const std::string padded = value.empty() ? std::string(1, '\0') : value;
    const bool ok = writeAttribute(target, name, type, space, padded.data());
    H5Sclose(space);
    H5Tclose(type);
    H5Oclose(target);
    return ok || fail("cannot write attribute '" + name + "' in", error);
}

bool Hdf5File::setNumbers(const std::string& object, const std::string& name, const double* values, std::size_t count,
                          std::string& error) {
    const hid_t target = objectOf(file_, object);
    if (target < 0) return fail("no object '" + object + "' in", error);
    const hsize_t size = count;
    const hid_t space = count == 1 ? H5Screate(H5S_SCALAR) : H5Screate_simple(1, &size, nullptr);
    const bool ok = writeAttribute(target, name, H5T_NATIVE_DOUBLE, space, values);
    H5Sclose(space);
    H5Oclose(target);
    return ok || fail("cannot write attribute '" + name + "' in", error);
}

bool Hdf5File::setInteger(const std::string& object, const std::string& name, int64_t value, std::string& error) {
    const hid_t target = objectOf(file_, object);
    if (target < 0) return fail("no object '" + object + "' in", error);
    const hid_t space = H5Screate(H5S_SCALAR);
    const bool ok = writeAttribute(target, name, H5T_NATIVE_INT64, space, &value);
    H5Sclose(space);
    H5Oclose(target);
    return ok || fail("cannot write attribute '" + name + "' in", error);
}

bool Hdf5File::length(const std::string& name, uint64_t& length, std::string& error) {
    if (H5Lexists(file_, name.c_str(), H5P_DEFAULT) <= 0) {
        H5Eclear2(H5E_DEFAULT);
        error = "'" + name_ + "' has no dataset '" + name + "'";
        return false;
    }
    const hid_t dataset = H5Dopen2(file_, name.c_str(), H5P_DEFAULT);
    if (dataset < 0) return fail("cannot open dataset '" + name + "' in", error);
    const hid_t space = H5Dget_space(dataset);
    hsize_t size = 0;
    const bool ok = H5Sget_simple_extent_ndims(space) == 1 && H5Sget_simple_extent_dims(space, &size, nullptr) == 1;
    H5Sclose(space);
    H5Dclose(dataset);
    if (!ok) {
        error = "dataset '" + name + "' in '" + name_ + "' is not one-dimensional";
        return false;
    }
    length = size;
    return true;
}

bool Hdf5File::read(const std::string& name, uint64_t offset, std::size_t count, double* values, std::string& error) {
    const hid_t dataset = H5Dopen2(file_, name.c_str(), H5P_DEFAULT);
    if (dataset < 0) return fail("cannot open dataset '" + name + "' in", error);
    const hsize_t start = offset;
    const hsize_t size = count;
    const hid_t fileSpace = H5Dget_space(dataset);
    bool ok = H5Sselect_hyperslab(fileSpace, H5S_SELECT_SET, &start, nullptr, &size, nullptr) >= 0;
    const hid_t memorySpace = H5Screate_simple(1, &size, nullptr);
    ok = ok && H5Dread(dataset, H5T_NATIVE_DOUBLE, memorySpace, fileSpace, H5P_DEFAULT, values) >= 0;
    H5Sclose(memorySpace);
    H5Sclose(fileSpace);
    H5Dclose(dataset);
    return ok || fail("cannot read dataset '" + name + "' of", error);
}

bool Hdf5File::attributes(const std::string& object, std::vector<std::pair<std::string, std::string>>& out,
                          std::string& error) {
    const hid_t target = objectOf(file_, object);
    if (target < 0) return fail("no object '" + object + "' in", error);
    AttributeVisit visit{&out};
    hsize_t index = 0;
    const herr_t status = H5Aiterate2(target, H5_INDEX_CRT_ORDER, H5_ITER_INC, &index, readAttribute, &visit);
    herr_t fallback = 0;
    if (status < 0) {
        // Creation order is only indexed when the file asked for it.
        H5Eclear2(H5E_DEFAULT);
        out.clear();
        index = 0;
        fallback = H5Aiterate2(target, H5_INDEX_NAME, H5_ITER_INC, &index, readAttribute, &visit);
    }
    H5Oclose(target);
    return fallback >= 0 || fail("cannot read the attributes of", error);
}

bool Hdf5File::close(std::string& error) {
    bool ok = true;
    for (Series& s : series_) ok = H5Dclose(s.dataset) >= 0 && ok;
    series_.clear();
    if (file_ >= 0) {
        ok = H5Fclose(file_) >= 0 && ok;
        file_ = -1;
        if (!ok) return fail("cannot finish HDF5 output", error);
    }
    return ok;
}
