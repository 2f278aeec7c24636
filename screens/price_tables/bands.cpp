// Volume discount bands by number of systems and of users.
#include "frm_tb_pre_pro_com.h"

void TfrmTbPreProCom::wireBands() {}
