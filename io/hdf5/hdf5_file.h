// The one door to the HDF5 library: an HDF5 file of one-dimensional series
// (extendible, chunked, shuffled and deflated) with text and number
// attributes, written by appending blocks and read back by name. Nothing
// else in the tree includes the library's header.
#ifndef ORVANE_IO_HDF5_HDF5_FILE_H
#define ORVANE_IO_HDF5_HDF5_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class Hdf5File {
public:
    enum class Type { Float64, Int32 };

    Hdf5File() = default;
    Hdf5File(const Hdf5File&) = delete;
    Hdf5File& operator=(const Hdf5File&) = delete;
    ~Hdf5File();

    // A new file at `path` (replaced if it exists), or an existing one for
    // reading. `name` is what messages call the file.
    bool create(const std::string& path, const std::string& name, std::string& error);
    bool openForReading(const std::string& path, std::string& error);

    // An empty series growing in chunks of `chunk` values; its index for
    // append(), or -1 with `error` set.
    int addSeries(const std::string& name, Type type, std::size_t chunk, std::string& error);
    // `values` holds `count` doubles or int32 values, as the series' type.
    bool append(int series, const void* values, std::size_t count, std::string& error);

    // Attributes of the file (`object` empty) or of a series.
    bool setText(const std::string& object, const std::string& name, const std::string& value, std::string& error);
    bool setNumbers(const std::string& object, const std::string& name, const double* values, std::size_t count,
                    std::string& error);
    bool setInteger(const std::string& object, const std::string& name, int64_t value, std::string& error);

    // Reading: a series' length, `count` values from `offset` converted to
    // doubles, and the attributes of an object as text ("a, b, c" for
    // several numbers).
    bool length(const std::string& name, uint64_t& length, std::string& error);
    bool read(const std::string& name, uint64_t offset, std::size_t count, double* values, std::string& error);
    bool attributes(const std::string& object, std::vector<std::pair<std::string, std::string>>& out,
                    std::string& error);

    // Flushes and closes; false when the library could not write it all.
    bool close(std::string& error);

private:
    struct Series {
        int64_t dataset;
        Type type;
        uint64_t length;
    };
    bool fail(const std::string& what, std::string& error) const;

    int64_t file_ = -1;
    std::string name_;
    std::vector<Series> series_;
};

#endif  // ORVANE_IO_HDF5_HDF5_FILE_H
