// Controllers by name and the float forms of their parameters.
#include <kelmar/Controller.h>

#include <cstring>
#include <vector>

#include <kelmar/LinearController.h>
#include <kelmar/PID.h>

namespace kelmar {

void Controller::SetParams(const float *params)
{
    std::vector<double> values(params, params + NumParams());
    if (!values.empty()) SetParams(values.data());
}

void Controller::GetParams(float *params) const
{
    std::vector<double> values(static_cast<size_t>(NumParams()));
    if (values.empty()) return;
    GetParams(values.data());
    for (size_t i = 0; i < values.size(); ++i) params[i] = static_cast<float>(values[i]);
}

Controller *CreateController(const char *type)
{
    if (!type) return nullptr;
    if (std::strcmp(type, "LINEAR") == 0) return new LinearController(1.0);
    if (std::strcmp(type, "PID") == 0) return new PID(1.0, 0.0, 0.0);
    return nullptr;
}

} // namespace kelmar
