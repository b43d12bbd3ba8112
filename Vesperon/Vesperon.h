// Stand-in for the update checker.
#pragma once
