// kelmar.batch._trial: the grasp trial for Python. run() takes the trial's
// settings and returns its measures as a dict; the interpreter is released
// while the trial steps, so a Dask worker keeps answering its scheduler.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "Trial.h"

namespace py = pybind11;

namespace {

py::dict Measures(const kbatch::TrialResult &r)
{
    const krun::GraspMeasures &m = r.grasp;
    py::dict d;
    d["closed_step"] = m.closedStep;
    d["held"] = m.held;
    d["lift_cm"] = m.lift;
    d["slip_mm"] = m.slip;
    d["contacts"] = m.fingerContacts;
    d["tips"] = m.tips;
    d["rank"] = m.rank;
    d["joints"] = m.joints;
    d["sim_time_s"] = r.simulated;
    d["wall_time_s"] = r.wall;
    return d;
}

py::dict Run(const std::string &scene, const std::vector<std::pair<std::string, std::string>> &variables,
             const std::string &grasp, int steps, double radius, const std::string &robot, const std::string &target,
             const std::string &somFile, double threshold)
{
    kbatch::TrialSettings trial;
    trial.scene = scene;
    trial.variables = variables;
    trial.grasp = grasp;
    trial.steps = steps;
    trial.radius = radius;
    trial.threshold = threshold;
    trial.robot = robot;
    trial.target = target;
    trial.somFile = somFile;
    kbatch::TrialResult r;
    {
        py::gil_scoped_release released;
        r = kbatch::RunTrial(trial);
    }
    if (!r.error.empty()) throw std::runtime_error(r.error);
    return Measures(r);
}

} // namespace

PYBIND11_MODULE(_trial, m)
{
    m.doc() = "One grasp trial in a universe of its own (the native part of kelmar.batch).";
    m.def("run", &Run, py::arg("scene"), py::arg("variables"), py::arg("grasp"), py::arg("steps"),
          py::arg("radius") = 4.7, py::arg("robot") = "", py::arg("target") = "", py::arg("som_file") = "",
          py::arg("threshold") = 0.05,
          "Loads the scene file with the (name, value) variables, steps it with the grasp controller and returns "
          "the grasp's measures; raises RuntimeError with the loader's messages when the scene does not load.");
}
