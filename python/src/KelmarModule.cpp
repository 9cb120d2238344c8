// kelmar._kelmar: the script interface of the module for Python. It hands
// Python the declaration tables and the constants' values, and makes
// calls: arguments are put into a call record as each declaration's
// signature says, the entry function runs through kelmar_invoke, and its
// results (and arrays it allocated) come back as Python values. Python
// builds the classes from the tables (see kelmar/_interface.py).
#include <dlfcn.h>

#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <dfx/standin.h>
#include <kelmar/GraspOutput.h>
#include <kelmar/PxStream.h>

#include "objects/DfxScene.h"
#include "script/ScriptCall.h"
#include "script/ScriptTables.h"

#ifdef KELMAR_HOST_VIEWER
#include <vtkNew.h>
#include <vtkRenderWindow.h>
#include <vtkUnsignedCharArray.h>

#include "DisplayCheck.h"
#include "VtkRenderHost.h"
#endif

#ifdef KELMAR_HOST_CAMERAS
#include <kelmar/GraphicsSetup.h>

#include "cameras/Cameras.h"
#endif

namespace py = pybind11;

namespace {

// Raises the Python exception that the package's factory makes of a host
// exception's identifier and text.
py::object gErrorFactory;

std::vector<std::string> Texts(const char *const *table)
{
    std::vector<std::string> texts;
    for (; *table; ++table) texts.emplace_back(*table);
    return texts;
}

std::vector<std::vector<std::string>> ClassTables()
{
    std::vector<std::vector<std::string>> classes;
    for (const char *const *const *c = CLASSES_kelmar; *c; ++c) classes.push_back(Texts(*c));
    return classes;
}

// The value of the data symbol const_<name> of this module, as the host
// reads it; None when there is none.
py::object Constant(const std::string &name)
{
    Dl_info info;
    if (!dladdr(reinterpret_cast<void *>(&kelmar_invoke), &info)) return py::none();
    void *self = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    const void *symbol = self ? dlsym(self, ("const_" + name).c_str()) : nullptr;
    if (self) dlclose(self);
    return symbol ? py::object(py::int_(*static_cast<const int *>(symbol))) : py::object(py::none());
}

// What a call keeps alive until it returns: arrays converted from Python
// sequences, and arrays the entry allocated.
struct Keep {
    const std::string *signature;
    std::vector<py::array> arrays;
    py::object outs[KELMAR_MAX_ARGS];
};

// A new array of the argument's declared type ('I' int, 'B' byte, else float).
py::array NewArray(char type, int count)
{
    if (type == 'I') return py::array_t<int>(count);
    if (type == 'B') return py::array_t<unsigned char>(count);
    return py::array_t<float>(count);
}

void *Allocate(KelmarCall *call, int arg, int count, int size)
{
    auto *keep = static_cast<Keep *>(call->context);
    if (arg < 0 || arg >= call->argc || count < 0) return nullptr;
    py::array array = NewArray((*keep->signature)[static_cast<size_t>(arg)], count);
    if (array.itemsize() != size) return nullptr;
    keep->outs[arg] = array;
    return array.mutable_data();
}

// A float or int array argument: a writable array of that type is used in
// place (so that the entry can fill it, as the host's arrays are); any
// other sequence is converted.
template <class T> void PutArray(KelmarArg &a, py::handle value, Keep &keep, int kind)
{
    py::array_t<T, py::array::c_style | py::array::forcecast> array;
    if (py::isinstance<py::array_t<T>>(value) && py::cast<py::array>(value).writeable() &&
        (py::cast<py::array>(value).flags() & py::array::c_style))
        array = py::reinterpret_borrow<py::array_t<T, py::array::c_style | py::array::forcecast>>(value);
    else
        array = py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(value);
    if (!array) throw py::type_error("expected an array of numbers");
    keep.arrays.push_back(array);
    a.kind = kind;
    a.data = array.mutable_data();
    a.count = static_cast<int>(array.size());
}

// One argument by its signature letter: i int, f float, F float*, I int*,
// B byte*, s text, o object (its handle). None: omitted (NULL); the
// package's OUT marker: an array for the entry to allocate.
void PutArgument(KelmarArg &a, char type, py::handle value, const py::handle &out, Keep &keep)
{
    a = KelmarArg();
    if (value.is_none()) return;
    if (value.is(out)) {
        a.kind = KELMAR_OUT;
        return;
    }
    switch (type) {
    case 'i': a.kind = KELMAR_INT, a.i = py::cast<int>(value); break;
    case 'f': a.kind = KELMAR_FLOAT, a.f = py::cast<float>(value); break;
    case 'F': PutArray<float>(a, value, keep, KELMAR_FLOATS); break;
    case 'I': PutArray<int>(a, value, keep, KELMAR_INTS); break;
    case 'B': PutArray<unsigned char>(a, value, keep, KELMAR_BYTES); break;
    case 's': a.kind = KELMAR_TEXT, a.text = PyUnicode_AsUTF8(value.ptr()); break;
    case 'o': a.kind = KELMAR_OBJECT, a.object = reinterpret_cast<void *>(py::cast<uintptr_t>(value)); break;
    default: throw py::value_error(std::string("unknown argument type '") + type + "'");
    }
    if (PyErr_Occurred()) throw py::error_already_set();
}

py::object Result(const KelmarArg &r)
{
    switch (r.kind) {
    case KELMAR_INT: return py::int_(r.i);
    case KELMAR_FLOAT: return py::float_(r.f);
    case KELMAR_TEXT: return py::str(r.text);
    case KELMAR_FLOATS: {
        const auto *cell = static_cast<const float *>(r.data);
        return py::array_t<float>(r.count, cell); // a copy: the cell is the entry's
    }
    case KELMAR_OBJECT: return py::make_tuple(r.text, reinterpret_cast<uintptr_t>(r.object));
    default: return py::none();
    }
}

// An allocated array in the shape the entry gave it.
py::object Shaped(const KelmarArg &a, py::object array)
{
    if (a.shape[0] <= 0) return array;
    std::vector<py::ssize_t> shape{a.shape[0], a.shape[1]};
    if (a.shape[2] > 0) shape.push_back(a.shape[2]);
    return array.attr("reshape")(shape);
}

[[noreturn]] void Fail(const KelmarCall &call)
{
    py::object error = gErrorFactory(call.errorId, call.errorText);
    PyErr_SetObject(reinterpret_cast<PyObject *>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

// Runs the entry of that name on the object with handle self (0: none).
// Returns (handle, result, outputs): the object a constructor made, the
// declared result, and the arrays allocated for OUT arguments, in order.
py::object Invoke(const char *name, uintptr_t self, const std::string &signature, py::sequence args, py::handle out)
{
    const size_t argc = py::len(args);
    if (argc > KELMAR_MAX_ARGS || argc > signature.size()) throw py::value_error("too many arguments");
    KelmarCall call{};
    Keep keep;
    keep.signature = &signature;
    call.self = reinterpret_cast<void *>(self);
    call.argc = static_cast<int>(argc);
    call.allocate = Allocate;
    call.context = &keep;
    for (size_t k = 0; k < argc; ++k) PutArgument(call.args[k], signature[k], args[k], out, keep);
    if (kelmar_invoke(name, &call) != 0) Fail(call);
    py::list outs;
    for (size_t k = 0; k < argc; ++k)
        if (keep.outs[k]) outs.append(Shaped(call.args[k], keep.outs[k]));
    return py::make_tuple(reinterpret_cast<uintptr_t>(call.self), Result(call.result), outs);
}

#ifdef KELMAR_HOST_VIEWER
// The host's renderer for vtkViewer (a vtk.CRender): an off-screen VTK
// window; its handle is the RenderHost the viewer entries take.
kelmar::VtkRenderHost *Render(uintptr_t handle)
{
    return static_cast<kelmar::VtkRenderHost *>(reinterpret_cast<kelmar::RenderHost *>(handle));
}

uintptr_t NewRender(int width, int height)
{
    if (width < 1 || height < 1) throw py::value_error("a renderer needs a size of at least 1 x 1 pixels");
    if (!kelmar::DisplayAvailable()) throw std::runtime_error("no X display for a renderer");
    kelmar::PreferCompatibilityContext();
    auto *render = new kelmar::VtkRenderHost(width, height, true);
    return reinterpret_cast<uintptr_t>(static_cast<kelmar::RenderHost *>(render));
}

// The window rendered and read back: (height, width, 3) uint8, row 0 at the top.
py::array RenderPicture(uintptr_t handle)
{
    vtkRenderWindow *window = Render(handle)->GetWindow();
    window->Render();
    const int *size = window->GetSize();
    vtkNew<vtkUnsignedCharArray> data;
    window->GetPixelData(0, 0, size[0] - 1, size[1] - 1, 0, data, 0);
    py::array_t<unsigned char> picture({size[1], size[0], 3});
    const size_t row = static_cast<size_t>(size[0]) * 3;
    for (int y = 0; y < size[1]; ++y)
        std::copy_n(data->GetPointer(0) + row * static_cast<size_t>(size[1] - 1 - y), row,
                    picture.mutable_data(y, 0, 0));
    return std::move(picture);
}
#endif

} // namespace

PYBIND11_MODULE(_kelmar, m)
{
    m.doc() = "The script interface of kelmar: declaration tables, constants and calls.";
#ifdef KELMAR_HOST_CAMERAS
    kelmar::InstallGraphics();
    kelmar::script::AddCameraEntries();
    m.attr("has_cameras") = true;
#else
    m.attr("has_cameras") = false;
#endif
#ifdef KELMAR_HOST_VIEWER
    m.attr("has_viewer") = true;
    m.def("render_new", &NewRender, "A renderer (handle) of an off-screen window: (width, height).");
    m.def(
        "render_free", [](uintptr_t handle) { delete Render(handle); }, "Deletes a renderer; its viewers leave it.");
    m.def("render_picture", &RenderPicture, "The renderer's window rendered: (height, width, 3) uint8.");
#else
    m.attr("has_viewer") = false;
#endif
    m.def(
        "functions", [] { return Texts(FUNCTIONS_kelmar); }, "The texts of FUNCTIONS_kelmar.");
    m.def("classes", &ClassTables, "The texts of each class descriptor of CLASSES_kelmar, in order.");
    m.def("constant", &Constant, "The value of the data symbol const_<name>, or None.");
    m.def("invoke", &Invoke, "Runs an entry function: (name, self, signature, args, OUT marker).");
    m.def("set_error_factory", [](py::object factory) { gErrorFactory = std::move(factory); });
    m.def(
        "add_search_path",
        [](const std::string &dir) {
            dfx::AddSearchPath(dir);          // scene files and their imports
            PxFileSearchPathAdd(dir.c_str()); // textures and meshes
        },
        "Adds a folder where scene files, the files they import, textures and meshes are looked for.");
    m.def(
        "scene_load_errors",
        [](uintptr_t handle) {
            const auto *scene = reinterpret_cast<const kelmar::DfxScene *>(handle);
            return scene->GetUniverse() ? scene->GetLoadErrorCount() : -1;
        },
        "The errors of a Scene's load (its handle); -1 while it waits for its universe.");
    m.def(
        "quiet_grasps", [] { kelmar::GraspSilence(); },
        "Silences the grasp controllers' progress lines (their default is standard output).");
    m.add_object("_cleanup", py::capsule([] { gErrorFactory = py::object(); }));
}
