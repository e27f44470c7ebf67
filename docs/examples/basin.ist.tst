[Comment]
These are discharge data at both ends of all edges.
Each column in [Data] section is as follows:
<edge number>
<discharge at upper end(m3/s)>
<discharge at lower end(m3/s)>
[Data Format Name]
Morvelan Initial State Format
[Number of Total Edges]
4
[Data]
1 0.000000 0.000068
2 0.000068 0.000036
3 0.000000 0.001904
4 0.000000 0.001940
