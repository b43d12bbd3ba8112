// ZIP archives over standard streams.
#pragma once
