#pragma once
// What every binding shares: Python values to Qt ones, numpy arrays handed
// over from C++ storage, and the exceptions a failed load or a bad argument
// raises (FileNotFoundError, ValueError) with the command-line tool's words.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <QString>
#include <stdexcept>
#include <utility>
#include <vector>

namespace py = pybind11;

// A file or folder argument: str or os.PathLike; "" for None.
QString pathArg(const py::object &value);
QString textArg(const py::handle &value);

// A bad argument or a request that does not fit the data: ValueError.
[[noreturn]] void refuse(const QString &why);

// An input that cannot be read: FileNotFoundError when the file is not there,
// ValueError otherwise, "cannot read FILE: WHY" as the tool says it.
struct InputFailure : std::exception {
    QString file, why;
    InputFailure(QString f, QString w) : file(std::move(f)), why(std::move(w)) {}
};
void registerExceptions(py::module_ &m);

// The vector's storage becomes the array's: no copy; it is freed with the
// array. The shape's product must equal the size.
template <typename T>
py::array_t<T> handOver(std::vector<T> &&values, std::vector<py::ssize_t> shape) {
    auto *owner = new std::vector<T>(std::move(values));
    py::capsule free(owner, [](void *p) { delete static_cast<std::vector<T> *>(p); });
    return py::array_t<T>(std::move(shape), owner->data(), free);
}
template <typename T> py::array_t<T> handOver(std::vector<T> &&values) {
    const auto n = py::ssize_t(values.size());
    return handOver(std::move(values), {n});
}

// Bin half sizes (hx, hy): two non-negative integers.
std::pair<int, int> binArg(const py::object &bin);
// A thread count: 0 (every core) .. 1024.
int threadsArg(int threads);
