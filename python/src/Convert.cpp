#include "Convert.h"

#include <QFileInfo>

QString pathArg(const py::object &value) {
    if (value.is_none())
        return QString();
    const py::object os = py::module_::import("os");
    return textArg(os.attr("fspath")(value));
}

QString textArg(const py::handle &value) {
    if (!py::isinstance<py::str>(value))
        refuse(QStringLiteral("expected a text, got ") +
               QString::fromStdString(py::str(value.get_type().attr("__name__"))));
    return QString::fromStdString(value.cast<std::string>());
}

void refuse(const QString &why) {
    throw py::value_error(why.toStdString());
}

void registerExceptions(py::module_ &) {
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const InputFailure &e) {
            const QByteArray text = ("cannot read " + e.file + ": " + e.why).toUtf8();
            PyErr_SetString(QFileInfo::exists(e.file) ? PyExc_ValueError : PyExc_FileNotFoundError,
                            text.constData());
        }
    });
}

std::pair<int, int> binArg(const py::object &bin) {
    try {
        const auto [hx, hy] = bin.cast<std::pair<int, int>>();
        if (hx >= 0 && hy >= 0)
            return {hx, hy};
    } catch (const py::cast_error &) {
    }
    refuse(QStringLiteral("--bin takes two non-negative integers"));
}

int threadsArg(int threads) {
    if (threads < 0 || threads > 1024)
        refuse(QStringLiteral("--threads takes a whole number from 1 to 1024 (0: every core)"));
    return threads;
}
