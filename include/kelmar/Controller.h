// A position controller: turns the position of a joint and its target into
// a speed command (rad/s or cm/s). Limits ask it once per step; the speed
// it returns is clamped by the limit, never by the controller.
#ifndef KELMAR_CONTROLLER_H
#define KELMAR_CONTROLLER_H

namespace kelmar {

class Controller {
public:
    Controller() = default;
    virtual ~Controller() = default;
    Controller(const Controller &) = delete;
    Controller &operator=(const Controller &) = delete;

    // Number of parameters SetParams and GetParams pass.
    virtual int NumParams() const { return 0; }
    virtual void SetParams(const double *params) { (void)params; }
    virtual void GetParams(double *params) const { (void)params; }
    // The speed command for this step; may keep state (PID).
    virtual double Control(double current, double target) = 0;
    // "LINEAR", "PID", or null for a controller without a file name.
    virtual const char *TypeName() const { return nullptr; }

    // The same through NumParams() floats.
    void SetParams(const float *params);
    void GetParams(float *params) const;
};

// A new controller of the named type with its default parameters
// ("LINEAR": gain 1; "PID": 1, 0, 0), or null for an unknown name.
Controller *CreateController(const char *type);

} // namespace kelmar

#endif
