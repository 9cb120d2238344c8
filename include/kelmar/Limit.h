// The drive of a joint's free coordinate (hinge angle in rad, prismatic
// displacement in cm, spring length in cm): the dynamics limit's stops,
// motor and lock, plus what a robot needs to move the joint to a target:
// a position controller, speed and force bounds, locking when the joint
// comes to rest, range checks, and a time-optimal approach with a
// braking prediction. Hinge, Prismatic and Spring are limits.
//
// Forces are kg cm/s^2 (torques kg cm^2/s^2), speeds cm/s or rad/s. The
// joint measures its position and speed once per step (after the step);
// the measured position is where the joint stands now, the speed the
// joint's rate now. A target that is not finite is refused (the joint
// keeps its last one). Such targets, commands refused because the joint is
// locked and targets out of range (past a stop by more than kRangeMargin)
// are told once through the joint's scene (Scene::Warning), and again only
// after the condition has cleared (a finite target, the joint unlocked, a
// target within the stops).
#ifndef KELMAR_LIMIT_H
#define KELMAR_LIMIT_H

#include <kelmar/PxStream.h>
#include <kelmar/PxXML.h>
#include <kelmar/RbdLimit.h>

namespace kelmar {

class Controller;
class Joint;

class Limit {
public:
    // joint: the joint this limit drives (its name, bodies and universe);
    // limit: its constraint's dynamics limit (not owned; null: a spare one,
    // so that a joint without constraint can still be commanded harmlessly).
    Limit(Joint *joint, RbdLimit *limit);
    virtual ~Limit();
    Limit(const Limit &) = delete;
    Limit &operator=(const Limit &) = delete;

    // Measures position and speed (implemented by the joint) and marks them
    // valid for this step.
    virtual void ComputePositionAndSpeed() = 0;
    // The force (torque) the joint's drive row applied in the last step.
    virtual double DriveForce() const = 0;

    // ---- Driving (targets in the joint's unit; f: fraction of maxSpeed, 0..1) ----
    // Time-optimal approach bounded by f x maxSpeed and maxForce / inertia.
    void SetValueOpt(double target, double speedFraction);
    // Speed = the controller's output, bounded by f x maxSpeed.
    void SetValueCtrl(double target, double speedFraction);
    // SetValueOpt with a braking plan in whole steps (see LimitTrial.cpp).
    void SetValueOptTrial(double target, double speedFraction);
    // Motor at speed, cut so that the joint stops on a stop, not beyond it.
    void SetSpeed(double speed);
    // A manual lock at the present position (moves are refused while on).
    void SetLock(bool on);
    // Locks when the joint has come to rest; true when it rests.
    bool AutoLock();
    // False (with the message) while a manual lock holds the joint.
    bool Moveable();
    // False for a target that is not finite (said once until a finite one).
    bool TargetCheck(double target);
    // value clamped into the stops; warn: tell the range message.
    double FitIntoLimits(double value, bool warn);

    // ---- Stops ----
    void SetLimits(double a, double b); // min(a, b), max(a, b)
    void GetLimits(double &lower, double &upper) const;
    void GetLimits(float &lower, float &upper) const;
    void SetLimitParams(double loStiffness, double loDamping, double loRestitution, double upStiffness,
                        double upDamping, double upRestitution);
    void GetLimitParams(double &loStiffness, double &loDamping, double &loRestitution, double &upStiffness,
                        double &upDamping, double &upRestitution) const;
    void GetLimitParams(float &loStiffness, float &loDamping, float &loRestitution, float &upStiffness,
                        float &upDamping, float &upRestitution) const;

    // ---- Controller (owned) ----
    // Null installs a LinearController of gain 1.
    void SetController(Controller *controller);
    // "LINEAR" or "PID" with default parameters; false for other names.
    bool SetControllerType(const char *type);
    const char *GetControllerType() const;
    Controller *GetController() const { return controller; }

    // The dynamics limit back to the joint defaults: no stops (the largest
    // doubles), hard, damping 0.1, restitution 0.5, active, measured.
    void Reset();
    // Estimates the inertia of the coordinate from the last step's
    // constraint force and change of speed (kg cm^2 or kg).
    void UpdateInertia();

    // ---- Readings, brought up to date first ----
    double GetPosition();
    double GetSpeed();
    bool IsAutoLocked() const { return autoLocked; }
    // The joint was placed at position (not moved there by the dynamics):
    // the next measurement continues from it, so a hinge placed more than
    // half a turn away still reads the angle it was placed at.
    void SetMeasuredPosition(double position);
    RbdLimit *GetRbdLimit() const { return limit; }
    Joint *GetJoint() const { return joint_; }

    // ---- Status: the LIMIT element ----
    void saveStatus(PxStream *stream) const;
    int loadStatus(PxXMLElement *element);
    // Element handlers; the input's user data is the Limit.
    static int Handle_Limit(PxXMLElement *element);
    static int Handle_Controller(PxXMLElement *element);

    // How far past a stop a target may lie before it is reported (rad or
    // cm): half the last digit the range message prints, so a reported
    // value never prints as the stop itself.
    static constexpr double kRangeMargin = 0.005;

    double maxForce = 100;     // motor bound
    double maxSpeed = 5;       // speed bound
    double lockForce = 100000; // lock bound
    double inertia = 1.0;      // effective inertia of the coordinate

protected:
    // Called by the joint once per step: the readings are stale.
    void Invalidate() { valid = 0; }
    // Stores a fresh reading (speed now, position now) and marks it valid.
    void StoreReading(double newPosition, double newSpeed);
    void UpToDate();
    // The universe's step (s), or the world's without a universe.
    double TimeStep() const;
    // The position measured from the joint's zero, as the dynamics limit's
    // raw coordinate (which a lock holds).
    double RawOf(double p) const;
    // Lock and range checks shared by the driving operations.
    bool LockCheck();
    double RangeCheck(double value, bool warn);
    // A message about a refused command, through the joint's scene.
    void Tell(const char *format, ...) const __attribute__((format(printf, 2, 3)));
    // The motor command of SetValueOpt and its variant: drive, or lock when at rest.
    void Command(double speed);
    // SetSpeed once its lock check has passed and the reading is this step's.
    void DriveAt(double speed);
    void LockHere();
    void SaveController(PxStream *stream) const;
    const char *JointName() const;

    RbdLimit *limit;
    Controller *controller;
    bool warnLock = true;
    bool warnRange = true;
    bool warnTarget = true;
    bool autoLocked = false;
    double speed = 0;
    double previousSpeed = 0;
    double position = 0;
    unsigned int valid = 0; // 0x01: position and speed are this step's
    double previousTarget = 0;

private:
    Joint *joint_;
    RbdLimit spare_; // stands in for the limit of a joint whose constraint could not be made
};

} // namespace kelmar

#endif
