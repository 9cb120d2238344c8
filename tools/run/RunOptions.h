// The command line of kelmar-run.
#ifndef KELMAR_TOOLS_RUNOPTIONS_H
#define KELMAR_TOOLS_RUNOPTIONS_H

#include <string>
#include <utility>
#include <vector>

namespace krun {

struct Options {
    std::string scene;
    int steps = 200;
    bool stepsGiven = false;                             // --steps given: the phases do not set the count
    double dt = 0;                                       // s; 0: the scene's time step
    std::vector<std::pair<std::string, double>> targets; // --set JOINT=VALUE (rad or cm)
    std::vector<std::pair<std::string, std::string>> variables;
    std::string statusFile;
    std::string csvFile;
    std::string plotFile;         // --plot: the joint positions over time as an SVG picture
    std::string phasesFile;       // --phases: a sequence of joint targets and grasp phases
    int csvEvery = 1;             // steps between CSV rows and between frames
    std::string grasp;            // ballwrap, orb, contact, contact0 or som; empty: none
    std::string graspRobot;       // the hand (default: the first robot that branches)
    std::string graspTarget;      // the object (default: a solid named ...ball)
    double graspRadius = 4.7;     // cm: ball wraps keep the link centre lines this far from the target's centre
    double graspThreshold = 0.05; // rad: the ball wrap moves on to a finger's next link once its aim is this near
    std::string somFile;          // the SOM grasp's map (24 values a node)
    std::string imagesDir;        // --images: frames and a contact sheet go here
    std::string camera;           // --camera: the camera filmed (empty: an overview)
    bool quiet = false;
    bool help = false;
};

// Fills options; returns an empty text, or what is wrong with the line.
std::string parseOptions(int argc, char **argv, Options &options);
std::string usageText();

} // namespace krun

#endif
