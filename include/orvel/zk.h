/* Orvel host SDK: the function API. Include this one header. */
#ifndef ORVEL_ZK_H
#define ORVEL_ZK_H

#include "orvel/zk_assem.h"
#include "orvel/zk_draw.h"
#include "orvel/zk_modl.h"
#include "orvel/zk_obj.h"
#include "orvel/zk_part.h"
#include "orvel/zk_plot.h"
#include "orvel/zk_session.h"
#include "orvel/zk_types.h"
#include "orvel/zk_vqmgr.h"

#endif
