# terminal state of vrb 
# current_time = 1800 
# 
VirtualRiverBasin vrb 0 
1800
{
Morvelan2d morvelan2d 0
1800 basin.ist.tst

}
