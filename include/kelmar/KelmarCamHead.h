// A stereo camera head: an active vision head with pan, tilt and two
// vergence joints, two eyes a baseline apart with zoom lenses, rendering a
// left and a right picture. Angles are degrees at every interface and
// radians inside; lengths in cm. Head coordinates: y is the pan axis (up),
// z looks ahead at pan and tilt 0, x runs along the baseline towards the
// left eye; the head's pose places them in the world.
#ifndef KELMAR_KELMARCAMHEAD_H
#define KELMAR_KELMARCAMHEAD_H

#include <kelmar/Object.h>
#include <kelmar/VirtualCamera.h>

namespace kelmar {

class KelmarCamHead : public Object, public VirtualCamera {
public:
    enum Joint { kPan, kTilt, kLeftVergence, kRightVergence };
    static const int kNumJoints = 4, kNumEffectors = 2;

    explicit KelmarCamHead(Scene *scene);

    // ---- Joints (degrees); the wait arguments have no effect here ----
    void SetJoints(const float degrees[4], bool wait = false);
    bool SetJoint(int index, float degrees, bool wait = false);
    void GetJoints(float degrees[4]) const;
    float GetJoint(int index) const;
    void Home();
    void Park();
    void SetHomeJoints(const float degrees[4]);
    void SetParkJoints(const float degrees[4]);
    // Turns the head and both eyes onto a point (head coordinates, cm);
    // false for the head's own centre, which cannot be looked at.
    bool SetFixPoint(const double point[3], bool wait = false);
    // Where the two optical axes meet (head coordinates); false when they
    // are parallel or meet behind the eyes.
    bool GetFixPoint(double point[3]) const;

    // ---- Lenses ----
    // Zooms are clamped to [0, 1]: 0 the widest view angle, 1 the narrowest.
    // Focus has no effect.
    void SetLens(float leftZoom, float leftFocus, float rightZoom, float rightFocus, bool wait = false);
    float GetLeftViewAngle() const { return leftAngle_; }
    float GetRightViewAngle() const { return rightAngle_; }
    void SetViewAngles(float left, float right);
    void SetLensRange(float narrowest, float widest);
    void InitIris() {}
    void SetLeftIris(float percent) { (void)percent; }
    void SetRightIris(float percent) { (void)percent; }

    // ---- Geometry ----
    double GetBaseline() const { return baseline_; }
    void SetBaseline(double cm);
    void SetHeadTM(const double tm[4][4]);
    const double (*GetHeadTM() const)[4] { return head_; }
    // Eye poses in the world.
    void GetLeftTM(double out[4][4]) const;
    void GetRightTM(double out[4][4]) const;
    // An eye's pose in head coordinates: vergence v (rad, positive turns
    // towards -x) and signed offset d along the baseline (cm).
    void GetEyeTM(double out[4][4], double vergence, double offset) const;

    // ---- Pictures (the read-out window of the full picture) ----
    // The window xSize x ySize at (xOffset, yOffset); an xOffset of -2
    // centres it. Scales and modes have no effect. False for a window
    // outside the picture.
    bool InitImgSrv(int xSize, int ySize, int xOffset, int yOffset, float xScale = 1, float yScale = 1,
                    int colorMode = 0, int fieldMode = 0);
    void GetWindow(int *x, int *y, int *w, int *h) const;
    // A new full picture size resets the window to the whole picture.
    bool SetImageSize(int width, int height);
    bool GetLeftImg(std::vector<unsigned char> &rgb);
    bool GetRightImg(std::vector<unsigned char> &rgb);
    bool GetStereoImg(std::vector<unsigned char> &left, std::vector<unsigned char> &right);

    Universe *GetDrawable() const override;
    void draw(unsigned int flags) const override;
    const float *GetBounds() const override;
    void saveStatus(PxStream *stream) const override;
    int loadStatus(PxXMLElement *element) override;

private:
    bool EyeImage(const double pose[4][4], float viewAngle, std::vector<unsigned char> &rgb);

    // Radians in double precision, so that a fixation is exact to 1e-6 cm.
    double joints_[4] = {0, 0, 0, 0};
    double home_[4] = {0, 0, 0, 0};
    double park_[4];
    double baseline_ = 30; // cm
    float narrowest_ = 5, widest_ = 60;
    float leftAngle_ = 45, rightAngle_ = 45;
    double head_[4][4];
    int windowX_ = 0, windowY_ = 0, windowW_, windowH_;
};

} // namespace kelmar

#endif
